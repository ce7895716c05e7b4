#include "contactlistmodel.h"

#include <QDebug>
#include <QIcon>
#include <QSqlError>
#include <QSqlQuery>

#include "core/logcategories.h"
#include "db/sqlhelper.h"
#include "query/sqlquerydialog.h"

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
    QSqlQuery query;
    query.exec("SELECT u.id,u.username, u.first_name, u.second_name,u.email FROM users u, "
               "contacts c  WHERE c.user_id='" +
               QString::number(userId) + "' AND c.contact_user_id=u.id");
    qCDebug(lcApp) << query.lastQuery() << query.lastError();
    QList<QSqlRecord> rows;
    while (query.next())
        rows << query.record();
    emit layoutAboutToBeChanged();
    records = rows;
    emit layoutChanged();
}

void ContactListModel::addContact()
{
    SqlQueryDialog dialog(nullptr);
    dialog.setQuery("select id,username,first_name,second_name from users");
    const QList<QSqlRecord> chosen =
        dialog.exec() == QDialog::Accepted ? dialog.selectedRecords() : QList<QSqlRecord>();
    if (!chosen.isEmpty()) {
        const QVariant contactId = chosen.first().value("id");
        // Nobody is their own contact, and nobody is listed twice.
        bool known = contactId.toInt() == userId;
        for (const QSqlRecord &record : records)
            known = known || record.value("id").toInt() == contactId.toInt();
        if (!known) {
            QSqlRecord record = SqlHelper::emptyRecord("contacts");
            record.setValue("user_id", userId);
            record.setValue("contact_user_id", contactId);
            SqlHelper::save("contacts", record);
        }
    }
    load(userId);
}

void ContactListModel::remContact(const QModelIndex &index)
{
    if (index.row() < 0 || index.row() >= records.size())
        return;
    const QString contactId = records.at(index.row()).value("id").toString();
    SqlHelper::remove("contacts",
                      "contact_user_id=" + SqlHelper::literal(contactId) +
                          " AND user_id=" + SqlHelper::literal(QString::number(userId)));
    load(userId);
}
