#include "savedqueries.h"

#include <QDebug>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include "core/logcategories.h"
#include "db/sqlhelper.h"

QList<QSqlRecord> SavedQueries::visibleTo(const QVariant &userId, QSqlError *error)
{
    // The id comes from the users table; as a number it cannot widen the statement.
    QSqlQuery query("Select q.* from querys q,groups_users gu WHERE q.group_id = gu.group_id "
                    "AND gu.user_id=" +
                    QString::number(userId.toLongLong()));
    if (query.lastError().isValid()) {
        SqlHelper::noteLostConnection(query.lastError());
        if (error)
            *error = query.lastError();
    }
    qCDebug(lcApp) << query.record();
    QList<QSqlRecord> rows;
    while (query.next()) {
        qCDebug(lcApp) << query.record();
        rows << query.record();
    }
    return rows;
}

bool SavedQueries::save(const QString &name, const QString &query, int groupId, QSqlError *error)
{
    // The earlier statement of that name goes only together with the new one being written:
    // a text the server refuses (too long for its column) must not lose the one saved before.
    QSqlDatabase db = QSqlDatabase::database();
    if (!db.transaction()) {
        if (error)
            *error = db.lastError();
        return false;
    }
    QSqlError failure;
    QSqlRecord record = SqlHelper::emptyRecord("querys", &failure);
    record.setValue("name", name);
    record.setValue("query", query);
    record.setValue("group_id", groupId);
    if (!failure.isValid() && remove(name, &failure) &&
        SqlHelper::save("querys", record, nullptr, &failure)) {
        if (db.commit())
            return true;
        failure = db.lastError();
    }
    db.rollback();
    if (error)
        *error = failure;
    return false;
}

bool SavedQueries::remove(const QString &name, QSqlError *error)
{
    return SqlHelper::remove("querys", "name=" + SqlHelper::literal(name), error);
}
