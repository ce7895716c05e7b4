#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QSqlRecord>

// One user's contacts: the users listed for that owner in table `contacts`.
class ContactListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    // The contact's e-mail address, for the delegate's second line.
    static constexpr int EmailRole = Qt::UserRole + 1;

    explicit ContactListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    void load(int userId);

public slots:
    // Adds the user, unless already listed or the owner; a null id adds nobody. Reloads.
    void addContact(const QVariant &contactId);
    void remContact(const QModelIndex &index);

signals:
    // An addition or removal failed: why, for the user.
    void failed(const QString &message);

private:
    QList<QSqlRecord> records;
    int userId = 0;
};
