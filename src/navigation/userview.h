#pragma once

#include <QModelIndex>
#include <QWidget>

class ContactListModel;
class QSortFilterProxyModel;

namespace Ui {
class UserView;
}

// The contacts dock's panel: the logged-in user's contacts and groups.
class UserView : public QWidget
{
    Q_OBJECT
public:
    explicit UserView(QWidget *parent = nullptr);
    ~UserView() override;

public slots:
    void addContact();
    void remContact();
    // Starts an e-mail to the contact with the desktop's mail program.
    void openContact(QModelIndex index);
    // Shows the contacts and groups of the user who just logged in.
    void load();
    void clear();

private:
    Ui::UserView *ui;
    ContactListModel *model;
    QSortFilterProxyModel *filter;
};
