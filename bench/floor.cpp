#include "floor.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include "db/sqlhelper.h"

namespace {
bool run(QSqlQuery &query, const QString &statement, QString *error)
{
    if (query.exec(statement))
        return true;
    *error = query.lastError().text() + " in: " + statement.left(200);
    return false;
}
} // namespace

bool Floor::load(const QString &table, int userId, const QList<Relation> &relations, Table *result,
                 QString *error)
{
    const QString user = QString::number(userId);
    QSqlQuery query;
    query.setForwardOnly(true);
    if (!run(query,
             "(SELECT t.* from " + table +
                 " t ,groups_users gu  WHERE t.group_id = gu.group_id AND gu.user_id=" + user +
                 ") UNION (SELECT t.* from " + table +
                 " t WHERE  t.group_id=0 OR ISNULL(t.group_id)) ",
             error))
        return false;
    const QSqlRecord columns = query.record();
    result->columns.clear();
    for (int i = 0; i < columns.count(); ++i)
        result->columns << columns.fieldName(i);
    const int idColumn = columns.indexOf("id");
    QHash<qlonglong, int> byId;
    result->rows.clear();
    while (query.next()) {
        Row row;
        row.values.resize(columns.count());
        for (int i = 0; i < columns.count(); ++i)
            row.values[i] = query.value(i);
        row.displayValues.resize(columns.count());
        byId.insert(row.values.at(idColumn).toLongLong(), result->rows.size());
        result->rows << row;
    }

    QHash<QString, int> fieldIndex;
    for (int i = 0; i < result->columns.size(); ++i)
        fieldIndex.insert(result->columns.at(i).toLower(), i);
    if (!run(query,
             "SELECT e.table_id, e.id, e.created, e.created_user_id, e.modified, "
             "e.modified_user_id, em.id IS NOT NULL, ef.field_name, ef.state FROM ext_records e "
             "LEFT JOIN ext_records_monitorings em ON em.ext_record_id = e.id AND em.user_id=" +
                 user +
                 " LEFT JOIN ext_records_fields ef ON ef.ext_record_id = e.id "
                 "WHERE e.table_name='" +
                 SqlHelper::escape(table) + "' ORDER BY e.table_id, e.id, ef.id",
             error))
        return false;
    qlonglong lastTableId = -1;
    qlonglong firstExtId = -1;
    while (query.next()) {
        const qlonglong tableId = query.value(0).toLongLong();
        const qlonglong extId = query.value(1).toLongLong();
        const auto found = byId.constFind(tableId);
        if (found == byId.constEnd())
            continue;
        Row &row = result->rows[found.value()];
        if (tableId != lastTableId) {
            lastTableId = tableId;
            firstExtId = extId;
            row.created = query.value(2).toDateTime();
            row.createdUserId = query.value(3);
            row.modified = query.value(4).toDateTime();
            row.modifiedUserId = query.value(5);
            row.marked = query.value(6).toBool();
        }
        if (extId != firstExtId || query.isNull(7))
            continue;
        row.states << qMakePair(fieldIndex.value(query.value(7).toString().toLower(), -1),
                                query.value(8).toInt());
    }

    for (const Relation &relation : relations) {
        if (!run(query,
                 "SELECT " + relation.indexColumn + ", " + relation.displayColumn + " FROM " +
                     relation.table,
                 error))
            return false;
        QHash<QString, QVariant> display;
        while (query.next())
            display.insert(query.value(0).toString(), query.value(1));
        for (Row &row : result->rows)
            row.displayValues[relation.field] =
                display.value(row.values.at(relation.field).toString());
    }
    return true;
}

bool Floor::save(const QString &table, int userId, const QStringList &columns,
                 const QVector<Row> &rows, QString *error)
{
    if (rows.isEmpty())
        return true;
    const QString user = QString::number(userId);
    const QString name = SqlHelper::escape(table);
    const int idColumn = columns.indexOf("id");
    QDateTime now = QDateTime::currentDateTime();
    now = now.addMSecs(-now.time().msec());

    QStringList values;
    QStringList updates;
    QStringList ids;
    for (const QString &column : columns)
        updates << column + "=VALUES(" + column + ")";
    for (const Row &row : rows) {
        QStringList literals;
        for (const QVariant &value : row.values)
            literals << SqlHelper::literal(value);
        values << "(" + literals.join(",") + ")";
        ids << QString::number(row.values.at(idColumn).toLongLong());
    }
    const QString idList = ids.join(",");

    QSqlDatabase db = QSqlDatabase::database();
    if (!db.transaction()) {
        *error = db.lastError().text();
        return false;
    }
    QSqlQuery query;
    bool ok = run(query,
                  "INSERT INTO " + table + " (" + columns.join(",") + ") VALUES " +
                      values.join(",") + " ON DUPLICATE KEY UPDATE " + updates.join(","),
                  error);
    for (const auto &[alias, metadata] :
         QList<QPair<QString, QString>>{{"em", "ext_records_monitorings"},
                                        {"ef", "ext_records_fields"},
                                        {"et", "ext_records_tasks"}}) {
        ok = ok && run(query,
                       "DELETE " + alias + ".* FROM ext_records e, " + metadata + " " + alias +
                           " WHERE e.id = " + alias + ".ext_record_id AND e.table_name='" + name +
                           "' AND e.table_id IN (" + idList + ")",
                       error);
    }
    ok = ok && run(query,
                   "DELETE FROM ext_records WHERE table_name='" + name + "' AND table_id IN (" +
                       idList + ")",
                   error);

    QStringList meta;
    for (const Row &row : rows) {
        const bool fresh = row.created.isNull();
        meta << "('" + name + "'," + QString::number(row.values.at(idColumn).toLongLong()) + "," +
                    SqlHelper::literal(fresh ? now : row.created) + "," +
                    (fresh ? user : SqlHelper::literal(row.createdUserId)) + "," +
                    SqlHelper::literal(now) + "," + user + ")";
    }
    ok = ok && run(query,
                   "INSERT INTO ext_records (table_name, table_id, created, created_user_id, "
                   "modified, modified_user_id) VALUES " +
                       meta.join(","),
                   error);
    // A multi-row insert takes consecutive ids from the first one it reports.
    const qlonglong firstId = ok ? query.lastInsertId().toLongLong() : 0;
    QStringList marks;
    QStringList states;
    for (int i = 0; i < rows.size(); ++i) {
        const QString extId = QString::number(firstId + i);
        if (rows.at(i).marked)
            marks << "(" + extId + "," + user + ")";
        for (const auto &[field, state] : rows.at(i).states)
            if (state != 0 && field >= 0)
                states << "(" + extId + ",'" + SqlHelper::escape(columns.at(field)) + "'," +
                              QString::number(state) + ")";
    }
    if (!marks.isEmpty())
        ok = ok && run(query,
                       "INSERT INTO ext_records_monitorings (ext_record_id, user_id) VALUES " +
                           marks.join(","),
                       error);
    if (!states.isEmpty())
        ok = ok && run(query,
                       "INSERT INTO ext_records_fields (ext_record_id, field_name, state) VALUES " +
                           states.join(","),
                       error);
    if (ok && db.commit())
        return true;
    if (ok)
        *error = db.lastError().text();
    db.rollback();
    return false;
}

bool Floor::commits(const QString &table, const QVector<qlonglong> &ids, QString *error)
{
    QSqlDatabase db = QSqlDatabase::database();
    QSqlQuery query;
    for (qlonglong id : ids) {
        if (!db.transaction()) {
            *error = db.lastError().text();
            return false;
        }
        if (!run(query,
                 "UPDATE " + table + " SET quantity = quantity ^ 1 WHERE id=" + QString::number(id),
                 error) ||
            !db.commit()) {
            db.rollback();
            return false;
        }
    }
    return true;
}
