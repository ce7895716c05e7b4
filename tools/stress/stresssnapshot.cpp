#include "stresssnapshot.h"

#include <QSqlError>
#include <QSqlQuery>

#include "stressconfig.h"

namespace {
bool run(QSqlQuery &query, const QString &statement, QString *error)
{
    query.setForwardOnly(true);
    if (query.exec(statement))
        return true;
    *error = query.lastError().text() + " in: " + statement;
    return false;
}
} // namespace

bool StressSnapshot::read(QSqlDatabase db, QString *error)
{
    rows.clear();
    meta.clear();
    const QString table = StressConfig::tableName();
    QSqlQuery query(db);
    if (!run(query, "SELECT id, origin, token, creator, last_user FROM " + table + " ORDER BY id",
             error))
        return false;
    QSet<qlonglong> ids;
    while (query.next()) {
        DataRow row;
        row.id = query.value(0).toLongLong();
        row.origin = query.value(1).toString();
        row.token = query.value(2).toString();
        row.creator = query.value(3).toInt();
        row.lastUser = query.value(4).toInt();
        rows << row;
        ids.insert(row.id);
    }

    // Every metadata row of the database: the table is the only one the workers write, so a
    // row naming another table, or none, belongs to no row either.
    if (!run(query,
             "SELECT id, table_id, created_user_id, modified_user_id, "
             "table_name <=> '" +
                 table + "' FROM ext_records ORDER BY id",
             error))
        return false;
    QHash<qlonglong, Meta *> byId;
    metaOfNoRow = 0;
    QList<Meta> all;
    while (query.next()) {
        Meta entry;
        entry.id = query.value(0).toLongLong();
        entry.tableId = query.value(1).toLongLong();
        entry.createdUser = query.value(2).toInt();
        entry.modifiedUser = query.value(3).toInt();
        if (!query.value(4).toBool() || !ids.contains(entry.tableId)) {
            ++metaOfNoRow;
            continue;
        }
        all << entry;
    }
    for (const Meta &entry : all)
        meta[entry.tableId] << entry;
    for (auto &list : meta)
        for (Meta &entry : list)
            byId.insert(entry.id, &entry);

    detachedMetaRows = 0;
    if (!run(query, "SELECT ext_record_id, field_name, state FROM ext_records_fields", error))
        return false;
    while (query.next()) {
        if (Meta *entry = byId.value(query.value(0).toLongLong()))
            entry->states.insert(query.value(1).toString(), query.value(2).toInt());
        else
            ++detachedMetaRows;
    }
    if (!run(query, "SELECT ext_record_id, user_id FROM ext_records_monitorings", error))
        return false;
    while (query.next()) {
        if (Meta *entry = byId.value(query.value(0).toLongLong()))
            entry->markedBy.insert(query.value(1).toInt());
        else
            ++detachedMetaRows;
    }
    return true;
}
