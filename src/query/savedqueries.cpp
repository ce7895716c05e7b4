#include "savedqueries.h"

#include <QDebug>
#include <QSqlQuery>

#include "db/sqlhelper.h"

QList<QSqlRecord> SavedQueries::visibleTo(const QVariant &userId)
{
    // The id comes from the users table; as a number it cannot widen the statement.
    QSqlQuery query("Select q.* from querys q,groups_users gu WHERE q.group_id = gu.group_id "
                    "AND gu.user_id="
                    + QString::number(userId.toLongLong()));
    qDebug() << query.record();
    QList<QSqlRecord> rows;
    while (query.next()) {
        qDebug() << query.record();
        rows << query.record();
    }
    return rows;
}

bool SavedQueries::save(const QString &name, const QString &query, int groupId)
{
    remove(name);
    QSqlRecord record = SqlHelper::emptyRecord("querys");
    record.setValue("name", name);
    record.setValue("query", query);
    record.setValue("group_id", groupId);
    return SqlHelper::save("querys", record);
}

bool SavedQueries::remove(const QString &name)
{
    return SqlHelper::remove("querys", "name=" + SqlHelper::literal(name));
}
