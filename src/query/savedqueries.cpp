#include "savedqueries.h"

#include <QDebug>
#include <QSqlDatabase>
#include <QSqlQuery>

#include "core/logcategories.h"
#include "db/sqlhelper.h"

QList<QSqlRecord> SavedQueries::visibleTo(const QVariant &userId)
{
    // The id comes from the users table; as a number it cannot widen the statement.
    QSqlQuery query("Select q.* from querys q,groups_users gu WHERE q.group_id = gu.group_id "
                    "AND gu.user_id=" +
                    QString::number(userId.toLongLong()));
    qCDebug(lcApp) << query.record();
    QList<QSqlRecord> rows;
    while (query.next()) {
        qCDebug(lcApp) << query.record();
        rows << query.record();
    }
    return rows;
}

bool SavedQueries::save(const QString &name, const QString &query, int groupId)
{
    // The earlier statement of that name goes only together with the new one being written:
    // a text the server refuses (too long for its column) must not lose the one saved before.
    QSqlDatabase db = QSqlDatabase::database();
    if (!db.transaction())
        return false;
    QSqlRecord record = SqlHelper::emptyRecord("querys");
    record.setValue("name", name);
    record.setValue("query", query);
    record.setValue("group_id", groupId);
    if (remove(name) && SqlHelper::save("querys", record) && db.commit())
        return true;
    db.rollback();
    return false;
}

bool SavedQueries::remove(const QString &name)
{
    return SqlHelper::remove("querys", "name=" + SqlHelper::literal(name));
}
