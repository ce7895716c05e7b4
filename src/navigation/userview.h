#pragma once

#include <QWidget>

namespace Ui {
class UserView;
}

// The contacts dock's panel: the user's contacts and groups.
class UserView : public QWidget
{
    Q_OBJECT
public:
    explicit UserView(QWidget *parent = nullptr);
    ~UserView() override;

private:
    Ui::UserView *ui;
};
