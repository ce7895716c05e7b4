#include "extmetadata.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include "db/sqlhelper.h"
#include "model/extrecord.h"

namespace {
void setStamps(ExtRecord &record, const QSqlQuery &query)
{
    record.setCreated(query.value("created").toDateTime(), query.value("created_user_id"));
    record.setModified(query.value("modified").toDateTime(), query.value("modified_user_id"));
}

bool failed(const QSqlQuery &query, QString *error)
{
    SqlHelper::noteLostConnection(query.lastError());
    if (error)
        *error = query.lastError().text();
    return false;
}

QString tableCondition(const QString &alias, const QString &table)
{
    return alias + "table_name='" + SqlHelper::escape(table) + "'";
}
} // namespace

// The first metadata row of a data row is the one with the smallest id. Of two state rows
// for one field the later one wins: the later in the server's order, as the state tables need
// no id of their own; both readings take one record's states in the same order, the order of
// the server's index on (or scan of) that table.
void ExtMetadata::readRecord(ExtRecord &record, const QString &table, const QString &userId,
                             const QSqlRecord &columns)
{
    QString rowId;
    if (!SqlHelper::idText(record.value("id"), &rowId))
        return;
    QSqlQuery query;
    if (!query.exec("SELECT * from ext_records WHERE " + tableCondition(QString(), table) +
                    " AND table_id=" + rowId + " ORDER BY id") ||
        !query.next())
        return;
    setStamps(record, query);
    record.extId = query.value("id").toLongLong();
    const QString extId = query.value("id").toString();

    QString user;
    record.marked =
        SqlHelper::idText(userId, &user) &&
        query.exec("select * FROM ext_records_monitorings WHERE ext_record_id=" + extId +
                   " AND user_id=" + user) &&
        query.next();

    if (!query.exec("select * FROM ext_records_fields WHERE ext_record_id=" + extId))
        return;
    while (query.next())
        record.setState(columns.indexOf(query.value("field_name").toString()),
                        query.value("state").toInt());
}

bool ExtMetadata::readRecords(const QList<ExtRecord *> &records, const QString &table,
                              const QString &userId, const QSqlRecord &columns, QString *error)
{
    QHash<qlonglong, ExtRecord *> byRowId;
    for (ExtRecord *record : records) {
        QString rowId;
        if (SqlHelper::idText(record->value("id"), &rowId))
            byRowId.insert(rowId.toLongLong(), record);
    }
    if (byRowId.isEmpty())
        return true;

    QSqlQuery query;
    query.setForwardOnly(true);
    QHash<qlonglong, ExtRecord *> byExtId;
    QSet<qlonglong> found;
    if (!query.exec("SELECT * FROM ext_records WHERE " + tableCondition(QString(), table) +
                    " ORDER BY table_id, id"))
        return failed(query, error);
    // Columns by position: a lookup by name builds the whole result record on every call.
    const QSqlRecord stamps = query.record();
    const int idColumn = stamps.indexOf("id");
    const int tableIdColumn = stamps.indexOf("table_id");
    const int createdColumn = stamps.indexOf("created");
    const int createdUserColumn = stamps.indexOf("created_user_id");
    const int modifiedColumn = stamps.indexOf("modified");
    const int modifiedUserColumn = stamps.indexOf("modified_user_id");
    while (query.next()) {
        const QVariant tableId = query.value(tableIdColumn);
        ExtRecord *record = tableId.isNull() ? nullptr : byRowId.value(tableId.toLongLong());
        if (!record || found.contains(tableId.toLongLong()))
            continue;
        found.insert(tableId.toLongLong());
        record->setCreated(query.value(createdColumn).toDateTime(), query.value(createdUserColumn));
        record->setModified(query.value(modifiedColumn).toDateTime(),
                            query.value(modifiedUserColumn));
        record->marked = false;
        record->extId = query.value(idColumn).toLongLong();
        byExtId.insert(record->extId, record);
    }

    QString user;
    if (SqlHelper::idText(userId, &user)) {
        if (!query.exec("SELECT em.ext_record_id FROM ext_records e, ext_records_monitorings em "
                        "WHERE e.id = em.ext_record_id AND " +
                        tableCondition("e.", table) + " AND em.user_id=" + user))
            return failed(query, error);
        while (query.next()) {
            if (ExtRecord *record = byExtId.value(query.value(0).toLongLong()))
                record->marked = true;
        }
    }

    if (!query.exec("SELECT ef.ext_record_id, ef.field_name, ef.state "
                    "FROM ext_records e, ext_records_fields ef WHERE e.id = ef.ext_record_id "
                    "AND " +
                    tableCondition("e.", table)))
        return failed(query, error);
    QHash<QString, int> fieldIndex;
    while (query.next()) {
        ExtRecord *record = byExtId.value(query.value(0).toLongLong());
        if (!record)
            continue;
        const QString name = query.value(1).toString();
        auto field = fieldIndex.constFind(name);
        if (field == fieldIndex.constEnd())
            field = fieldIndex.insert(name, columns.indexOf(name));
        record->setState(field.value(), query.value(2).toInt());
    }
    return true;
}

QHash<QString, QString> ExtMetadata::userNames()
{
    QHash<QString, QString> names;
    QSqlQuery query;
    query.setForwardOnly(true);
    if (query.exec("SELECT id, username FROM users"))
        while (query.next())
            names.insert(query.value(0).toString(), query.value(1).toString());
    return names;
}

void ExtMetadata::resolveRelations(ExtRecord &record, QHash<QString, QVariant> *cache)
{
    for (auto it = record.relations.cbegin(); it != record.relations.cend(); ++it) {
        if (!ExtRecord::isComplete(it.value()))
            continue;
        const QString statement = record.relationStatement(it.key());
        if (cache && cache->contains(statement)) {
            record.displayValues.insert(it.key(), cache->value(statement));
            continue;
        }
        QVariant display;
        // A failed lookup gives an invalid value; no row gives a null of the column's type.
        SqlHelper::relationDisplay(it.value(), record.value(it.key()), &display);
        record.displayValues.insert(it.key(), display);
        if (cache)
            cache->insert(statement, display);
    }
}

void ExtMetadata::fetchDisplayValues(const QList<ExtRecord *> &records,
                                     QHash<QString, QVariant> *cache)
{
    // The distinct lookups of each relation, in a stable order.
    QMap<QString, QStringList> lookups;
    QSet<QString> seen;
    for (const ExtRecord *record : records) {
        for (auto it = record->relations.cbegin(); it != record->relations.cend(); ++it) {
            const QSqlRelation &relation = it.value();
            if (!ExtRecord::isComplete(relation))
                continue;
            const QString statement = record->relationStatement(it.key());
            if (cache->contains(statement) || seen.contains(statement))
                continue;
            seen.insert(statement);
            lookups[relation.tableName() + '\n' + relation.indexColumn() + '\n' +
                    relation.displayColumn()]
                << statement;
        }
    }
    // Each lookup stays as it is, as a subquery, so the key is compared exactly as alone; one
    // relation per statement, so every branch of the union has the display column's type.
    constexpr int keysPerStatement = 500;
    for (const QStringList &statements : lookups) {
        for (int from = 0; from < statements.size(); from += keysPerStatement) {
            QStringList branches;
            for (int i = from; i < qMin(from + keysPerStatement, int(statements.size())); ++i)
                branches << "SELECT " + QString::number(i) + ", (" + statements.at(i) + " LIMIT 1)";
            QSqlQuery query;
            query.setForwardOnly(true);
            // A failure leaves these keys to the lookups one by one, which report it.
            if (!query.exec(branches.join(" UNION ALL ")))
                continue;
            while (query.next())
                cache->insert(statements.at(query.value(0).toInt()), query.value(1));
        }
    }
}
