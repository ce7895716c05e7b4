#include "extrecordstore.h"

#include <QDateTime>
#include <QDebug>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include "db/sqlhelper.h"
#include "model/extaudittrail.h"
#include "model/extrecord.h"

namespace {
// Runs one row's statements as a unit: committed when all succeed, otherwise rolled back.
template<typename Work>
bool inTransaction(Work work)
{
    QSqlDatabase db = QSqlDatabase::database();
    if (!db.transaction()) {
        qDebug().noquote() << "cannot start a transaction: " + db.lastError().text();
        return false;
    }
    if (work() && db.commit())
        return true;
    db.rollback();
    return false;
}

// The columns of a metadata table with cleared values, read without fetching its rows (the
// helper's blank record reads the whole table, which grows with every saved row).
QSqlRecord blankRecord(const QString &table)
{
    QSqlRecord record = QSqlDatabase::database().record(table);
    record.clearValues();
    return record;
}

QString lastErrorText()
{
    return QSqlDatabase::database().lastError().text();
}
} // namespace

ExtRecordStore::ExtRecordStore(const QString &tableName, const QVariant &userId)
    : tableName(tableName)
    , userId(userId)
{}

// Metadata rows are always new (the old ones were just deleted), so they are inserted without
// looking for an existing row first.
bool ExtRecordStore::insertRows(const QString &table, QList<QSqlRecord> &rows,
                                const QString &failure, const QStringList &successes)
{
    if (!SqlHelper::insert(table, rows)) {
        qDebug().noquote() << failure + lastErrorText();
        return false;
    }
    for (const QString &success : successes)
        qDebug().noquote() << success;
    return true;
}

bool ExtRecordStore::save(ExtRecord &record)
{
    ExtRecord written = record;
    if (!inTransaction([&] { return writeRecord(written); }))
        return false;
    record = written;
    return true;
}

bool ExtRecordStore::saveRow(const QString &table, const QSqlRecord &row, QVariant *id,
                             const QString &failure, const QString &success)
{
    if (!SqlHelper::save(table, row, id)) {
        qDebug().noquote() << failure + lastErrorText();
        return false;
    }
    qDebug().noquote() << success;
    return true;
}

bool ExtRecordStore::writeRecord(ExtRecord &record)
{
    QVariant rowId;
    if (!saveRow(tableName, record, &rowId, "cannot save in " + tableName + "--",
                 tableName + " saved..."))
        return false;
    if (record.isNull("id"))
        qDebug().noquote() << "is New";
    // The id the data row really got, also when a row thought existing had been deleted meanwhile.
    record.setValue("id", rowId);
    const QString id = QString::number(rowId.toLongLong());
    const QString table = SqlHelper::escape(tableName);

    QSqlQuery query;
    const QList<QPair<QString, QString>> metadata = {{"em", "ext_records_monitorings"},
                                                     {"ef", "ext_records_fields"},
                                                     {"et", "ext_records_tasks"}};
    for (const auto &[alias, metadataTable] : metadata) {
        if (!query.exec("DELETE " + alias + ".* FROM ext_records e, " + metadataTable + " " +
                        alias + " WHERE e.id = " + alias + ".ext_record_id AND e.table_name='" +
                        table + "' AND e.table_id =" + id))
            return false;
    }
    if (!query.exec("DELETE  FROM ext_records  WHERE table_name='" + table +
                    "' AND table_id =" + id))
        return false;

    // Whole seconds, as the server keeps them, so the record in memory equals the row written.
    QDateTime now = QDateTime::currentDateTime();
    now = now.addMSecs(-now.time().msec());
    if (record.created.isNull())
        record.setCreated(now, userId);
    record.setModified(now, userId);

    QSqlRecord meta = blankRecord("ext_records");
    meta.setValue("table_name", tableName);
    meta.setValue("table_id", rowId);
    meta.setValue("created", record.created);
    meta.setValue("modified", record.modified);
    meta.setValue("created_user_id", record.createdUserId);
    meta.setValue("modified_user_id", userId);
    QList<QSqlRecord> metaRows = {meta};
    if (!insertRows("ext_records", metaRows, "cannot save in ext_records ",
                    {"ext_record saved..."}))
        return false;
    const QVariant extId = metaRows.first().value("id");

    if (record.marked) {
        QSqlRecord monitoring = blankRecord("ext_records_monitorings");
        monitoring.setValue("ext_record_id", extId);
        monitoring.setValue("user_id", userId);
        QList<QSqlRecord> monitorings = {monitoring};
        if (!insertRows("ext_records_monitorings", monitorings, "cannot save in monitorings ",
                        {"monitoring saved..."}))
            return false;
    }

    // All states of the row in one statement.
    QList<QSqlRecord> fields;
    QStringList saved;
    QSqlRecord blankField;
    for (int f = 0; f < record.count(); ++f) {
        const int state = record.state(record.fieldName(f));
        if (state == 0)
            continue;
        if (blankField.isEmpty())
            blankField = blankRecord("ext_records_fields");
        QSqlRecord field = blankField;
        field.setValue("ext_record_id", extId);
        field.setValue("field_name", record.fieldName(f));
        field.setValue("state", state);
        fields << field;
        saved << record.fieldName(f) + " saved...";
    }
    if (!insertRows("ext_records_fields", fields, "cannot save in ext_records ", saved))
        return false;
    return !auditTrail ||
           ExtAuditTrail(tableName, userId).write(rowId, ExtAuditTrail::changes(record));
}

bool ExtRecordStore::remove(const ExtRecord &record)
{
    const int tableId = record.value("id").toInt();
    return inTransaction([&] { return removeRow(tableId, &record); });
}

bool ExtRecordStore::remove(int tableId)
{
    return inTransaction([&] { return removeRow(tableId, nullptr); });
}

bool ExtRecordStore::removeRow(int tableId, const ExtRecord *record)
{
    if (!SqlHelper::remove(tableName, QVariant(tableId)))
        return false;
    const int extId = extRecordId(tableId);
    return SqlHelper::remove("ext_records", QVariant(extId)) &&
           SqlHelper::remove("ext_records_fields", "ext_record_id=" + QString::number(extId)) &&
           SqlHelper::remove("ext_records_monitorings",
                             "ext_record_id=" + QString::number(extId)) &&
           (!auditTrail ||
            ExtAuditTrail(tableName, userId).write(tableId, ExtAuditTrail::removal(record)));
}

int ExtRecordStore::extRecordId(int tableId)
{
    QSqlQuery query;
    if (!query.exec("SELECT id from ext_records where table_name='" + SqlHelper::escape(tableName) +
                    "' AND table_id='" + QString::number(tableId) + "'") ||
        !query.next())
        return 0;
    return query.value(0).toInt();
}
