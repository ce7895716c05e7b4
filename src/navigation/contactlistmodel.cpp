#include "contactlistmodel.h"

#include <QDebug>
#include <QIcon>
#include <QSqlError>

#include "db/sqlhelper.h"

ContactListModel::ContactListModel(QObject *parent)
    : QAbstractListModel(parent)
{}

int ContactListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : records.size();
}

QVariant ContactListModel::data(const QModelIndex &index, int role) const
{
    switch (role) {
    case Qt::DisplayRole:
        if (index.row() < records.size())
            return records.at(index.row()).value("username");
        return QVariant();
    case Qt::DecorationRole:
        return QIcon(":16x16/vcard.png");
    case EmailRole:
        if (index.row() < records.size())
            return records.at(index.row()).value("email");
        return QVariant();
    default:
        return QVariant();
    }
}

void ContactListModel::load(int userId)
{
    this->userId = userId;
    // A failed read, which the helper logs, leaves the list empty.
    QList<QSqlRecord> rows;
    if (!SqlHelper::contacts(userId, &rows))
        rows.clear();
    emit layoutAboutToBeChanged();
    records = rows;
    emit layoutChanged();
}

void ContactListModel::addContact(const QVariant &contactId)
{
    if (!contactId.isNull()) {
        // Nobody is their own contact, and nobody is listed twice.
        bool known = contactId.toInt() == userId;
        for (const QSqlRecord &record : records)
            known = known || record.value("id").toInt() == contactId.toInt();
        QSqlError error;
        if (!known && !SqlHelper::addContact(userId, contactId, &error))
            emit failed(tr("cannot add the contact: %1").arg(error.text()));
    }
    load(userId);
}

void ContactListModel::remContact(const QModelIndex &index)
{
    if (index.row() < 0 || index.row() >= records.size())
        return;
    QSqlError error;
    if (!SqlHelper::removeContact(userId, records.at(index.row()).value("id"), &error))
        emit failed(tr("cannot remove the contact: %1").arg(error.text()));
    load(userId);
}
