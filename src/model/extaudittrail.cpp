#include "extaudittrail.h"

#include <QDebug>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include "db/sqlhelper.h"
#include "model/extrecord.h"

namespace {
ExtAuditEntry entry(const QString &action, const QString &fieldName = QString())
{
    ExtAuditEntry result;
    result.action = action;
    result.fieldName = fieldName;
    return result;
}

QVariant fieldText(const QSqlRecord &record, const QString &name)
{
    return record.isNull(name) ? QVariant() : QVariant(record.value(name).toString());
}

QVariant markText(bool marked)
{
    return QString(marked ? "1" : "0");
}

// The row's own key is the trail's table_id, not one of its values.
bool isKey(const QString &fieldName)
{
    return fieldName.compare("id", Qt::CaseInsensitive) == 0;
}
} // namespace

ExtAuditTrail::ExtAuditTrail(const QString &tableName, const QVariant &userId)
    : tableName(tableName)
    , userId(userId)
{}

bool ExtAuditTrail::isKept()
{
    return SqlHelper::hasTables({"ext_records_audit"});
}

QList<ExtAuditEntry> ExtAuditTrail::changes(const ExtRecord &record)
{
    const ExtRecord::Loaded &loaded = record.loaded;
    QString loadedId;
    QString writtenId;
    // A row that got another id than it was read with (it had vanished meanwhile) is new.
    const bool isNew = !loaded.known || !SqlHelper::idText(loaded.values.value("id"), &loadedId) ||
                       !SqlHelper::idText(record.value("id"), &writtenId) || loadedId != writtenId;
    QList<ExtAuditEntry> entries;
    if (isNew)
        entries << entry("insert");
    for (int f = 0; f < record.count(); ++f) {
        const QString name = record.fieldName(f);
        if (isKey(name))
            continue;
        const QVariant newValue = fieldText(record, name);
        const QVariant oldValue = isNew ? QVariant() : fieldText(loaded.values, name);
        if (newValue.isNull() == oldValue.isNull() && newValue.toString() == oldValue.toString())
            continue;
        ExtAuditEntry change = entry(isNew ? "insert" : "update", name);
        change.oldValue = oldValue;
        change.newValue = newValue;
        entries << change;
    }
    for (int f = 0; f < record.count(); ++f) {
        const QString name = record.fieldName(f);
        const int newState = record.state(name);
        const int oldState = isNew ? 0 : loaded.states.value(record.indexOf(name), 0);
        if (newState == oldState)
            continue;
        ExtAuditEntry change = entry("state", name);
        change.oldState = oldState;
        change.newState = newState;
        entries << change;
    }
    const bool wasMarked = !isNew && loaded.marked;
    if (record.marked != wasMarked) {
        ExtAuditEntry change = entry("mark");
        change.oldValue = markText(wasMarked);
        change.newValue = markText(record.marked);
        entries << change;
    }
    return entries;
}

QList<ExtAuditEntry> ExtAuditTrail::removal(const ExtRecord *record)
{
    QList<ExtAuditEntry> entries{entry("delete")};
    if (!record)
        return entries;
    // The values the trail last knew, so that a deletion never hides what the row held.
    const QSqlRecord values = record->loaded.known ? record->loaded.values : QSqlRecord(*record);
    for (int f = 0; f < values.count(); ++f) {
        const QString name = values.fieldName(f);
        if (isKey(name) || values.isNull(f))
            continue;
        ExtAuditEntry change = entry("delete", name);
        change.oldValue = fieldText(values, name);
        entries << change;
    }
    return entries;
}

QString ExtAuditTrail::statement(const QVariant &tableId, const QList<ExtAuditEntry> &entries) const
{
    QString id;
    if (entries.isEmpty() || !SqlHelper::idText(tableId, &id))
        return QString();
    QStringList rows;
    for (const ExtAuditEntry &change : entries) {
        const QVariant field = change.fieldName.isEmpty() ? QVariant() : QVariant(change.fieldName);
        const QStringList values = {
            SqlHelper::literal(tableName),       id,
            SqlHelper::literal(field),           SqlHelper::literal(change.action),
            SqlHelper::literal(change.oldValue), SqlHelper::literal(change.newValue),
            SqlHelper::literal(change.oldState), SqlHelper::literal(change.newState),
            SqlHelper::literal(userId),          "UTC_TIMESTAMP(6)"};
        rows << "(" + values.join(", ") + ")";
    }
    // One statement for all changes of the row; the server's clock in UTC.
    return "INSERT INTO ext_records_audit (table_name, table_id, field_name, action, "
           "old_value, new_value, old_state, new_state, user_id, changed_utc) VALUES " +
           rows.join(", ");
}

QList<ExtAuditEntry> ExtAuditTrail::history(const QVariant &tableId) const
{
    QList<ExtAuditEntry> entries;
    QString id;
    if (!SqlHelper::idText(tableId, &id))
        return entries;
    QSqlQuery query;
    query.setForwardOnly(true);
    if (!query.exec(entryColumns() + " WHERE a.table_name = " + SqlHelper::literal(tableName) +
                    " AND a.table_id = " + id + " ORDER BY a.changed_utc DESC, a.id DESC"))
        return entries;
    while (query.next())
        entries << read(query);
    return entries;
}

ExtAuditEntry ExtAuditTrail::lastStateChange(const QVariant &tableId,
                                             const QString &fieldName) const
{
    QString id;
    if (!SqlHelper::idText(tableId, &id))
        return ExtAuditEntry();
    QSqlQuery query;
    query.setForwardOnly(true);
    if (!query.exec(entryColumns() + " WHERE a.table_name = " + SqlHelper::literal(tableName) +
                    " AND a.table_id = " + id +
                    " AND a.action = 'state' AND a.field_name = " + SqlHelper::literal(fieldName) +
                    " ORDER BY a.changed_utc DESC, a.id DESC LIMIT 1") ||
        !query.next())
        return ExtAuditEntry();
    return read(query);
}

QSet<QString> ExtAuditTrail::changedSinceReviewed() const
{
    QSet<QString> ids;
    QSqlQuery query;
    query.setForwardOnly(true);
    // A value written in the same save as its state was reviewed with it.
    if (!query.exec("SELECT DISTINCT v.table_id FROM ext_records_audit v JOIN (SELECT table_id, "
                    "field_name, MAX(changed_utc) AS reviewed FROM ext_records_audit WHERE "
                    "table_name = " +
                    SqlHelper::literal(tableName) +
                    " AND action = 'state' GROUP BY table_id, field_name) s ON s.table_id = "
                    "v.table_id AND s.field_name = v.field_name WHERE v.table_name = " +
                    SqlHelper::literal(tableName) +
                    " AND v.action = 'update' AND v.changed_utc > s.reviewed"))
        return ids;
    while (query.next())
        ids.insert(query.value(0).toString());
    return ids;
}

QString ExtAuditTrail::entryColumns()
{
    return "SELECT a.changed_utc, a.user_id, u.username, a.field_name, a.action, "
           "a.old_value, a.new_value, a.old_state, a.new_state "
           "FROM ext_records_audit a LEFT JOIN users u ON u.id = a.user_id";
}

ExtAuditEntry ExtAuditTrail::read(const QSqlQuery &query)
{
    ExtAuditEntry change;
    const QDateTime stored = query.value(0).toDateTime();
    // The driver hands the stored wall-clock time over as local; it is UTC.
    change.when = QDateTime(stored.date(), stored.time(), Qt::UTC);
    change.userId = query.value(1);
    change.userName = query.value(2).toString();
    change.fieldName = query.value(3).toString();
    change.action = query.value(4).toString();
    change.oldValue = query.value(5);
    change.newValue = query.value(6);
    change.oldState = query.value(7);
    change.newState = query.value(8);
    return change;
}
