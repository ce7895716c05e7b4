#include "extrecordstore.h"

#include <algorithm>

#include <QDateTime>
#include <QDebug>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include "core/logcategories.h"
#include "db/sqlhelper.h"
#include "model/extaudittrail.h"
#include "model/extrecord.h"
#include "model/extsignatures.h"

namespace {
// Values compared as the server holds them: a number typed as text equals the number.
bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    if (a == b)
        return true;
    bool aNumber = false;
    bool bNumber = false;
    const double x = a.toDouble(&aNumber);
    const double y = b.toDouble(&bNumber);
    if (aNumber && bNumber)
        return x == y;
    return a.toString() == b.toString();
}

// A row read from the database and still under its id; any other row is saved by its id.
bool isLoadedRow(const ExtRecord &record)
{
    return record.loaded.known && !record.isNull("id") &&
           sameValue(record.loaded.values.value("id"), record.value("id"));
}
} // namespace

ExtRecordStore::ExtRecordStore(const QString &tableName, const QVariant &userId,
                               SqlUnitOfWork::ServerFacts *facts)
    : tableName(tableName)
    , userId(userId)
    , work(facts)
{}

// Passes ok on, telling conflict why a change made elsewhere stopped the work.
bool ExtRecordStore::finish(bool ok, QString *conflict) const
{
    if (conflict)
        *conflict = ok ? QString() : conflicted;
    return ok;
}

// The columns of a metadata table with cleared values. Columns the program does not name take
// the server's defaults: a cleared value would be refused by a NOT NULL column that a group's
// own database may have added.
bool ExtRecordStore::blankRecord(const QString &table, QSqlRecord *record)
{
    if (!work.columns(table, record))
        return false;
    static const QHash<QString, QStringList> named = {
        {"ext_records",
         {"id", "table_name", "table_id", "created_user_id", "created", "modified_user_id",
          "modified"}},
        {"ext_records_monitorings", {"id", "ext_record_id", "user_id"}},
        {"ext_records_fields", {"id", "ext_record_id", "field_name", "state"}}};
    for (int i = 0; i < record->count(); ++i)
        record->setGenerated(i, named.value(table).contains(record->fieldName(i)));
    return true;
}

// Metadata rows are always new (the old ones were just deleted), so they are inserted without
// looking for an existing row first.
bool ExtRecordStore::insertRows(const QString &table, QList<QSqlRecord> &rows,
                                const QString &failure, const QStringList &successes)
{
    QSqlError error;
    if (!SqlHelper::insert(table, rows, &error))
        return work.fail(failure, error);
    for (const QString &success : successes)
        qCDebug(lcSql).noquote() << success;
    return true;
}

bool ExtRecordStore::save(ExtRecord &record, QSqlError *error, QString *conflict)
{
    ExtRecord written;
    const bool ok = work.attempt(
        "the save of a row",
        [&] {
            conflicted.clear();
            written = record;
            return writeRecord(written);
        },
        error);
    if (ok)
        record = written;
    return finish(ok, conflict);
}

bool ExtRecordStore::unchangedSinceLoaded(const ExtRecord &record, bool *gone)
{
    const ExtRecord::Loaded &loaded = record.loaded;
    QString id;
    SqlHelper::idText(loaded.values.value("id"), &id);
    QSqlQuery query;
    query.setForwardOnly(true);
    // The lock holds until the transaction ends: no other save comes between the comparison
    // and the write.
    if (!work.flush("cannot read " + tableName + "--", &query,
                    "SELECT e.id, e.modified, t.* FROM " + SqlHelper::identifier(tableName) +
                        " t LEFT JOIN ext_records e ON e.table_name='" +
                        SqlHelper::escape(tableName) +
                        "' AND e.table_id = t.id WHERE t.id = " + id + " ORDER BY e.id FOR UPDATE"))
        return false;
    bool same = query.next();
    if (gone)
        *gone = !same;
    if (same) {
        const QSqlRecord row = query.record();
        same = query.value(0).toLongLong() == loaded.extId &&
               query.value(1).toDateTime() == loaded.modified &&
               row.count() == loaded.values.count() + 2;
        for (int i = 0; same && i < loaded.values.count(); ++i)
            same = row.fieldName(i + 2) == loaded.values.fieldName(i) &&
                   sameValue(query.value(i + 2), loaded.values.value(i));
    }
    if (!same) {
        conflicted = tr("the row was changed or deleted on another workstation since it was "
                        "loaded; refresh to see that change");
        qCDebug(lcSql).noquote() << tableName + " " + id +
                                        " was changed or deleted elsewhere since it was read";
    }
    return same;
}

// The signature is read under the lock the comparison above took on the data row, which the
// signing takes as well. A change of the mark alone leaves a signed row as it was signed.
bool ExtRecordStore::unsignedSinceLoaded(const ExtRecord &record, bool removal)
{
    if (!signatures)
        return true;
    const QList<ExtAuditEntry> changes = ExtAuditTrail::changes(record);
    if (!removal && std::all_of(changes.cbegin(), changes.cend(), [](const ExtAuditEntry &change) {
            return change.action == "mark";
        }))
        return true;
    QString id;
    SqlHelper::idText(record.value("id"), &id);
    QSqlQuery query;
    query.setForwardOnly(true);
    if (!work.flush("cannot read the signatures of " + tableName + "--", &query,
                    ExtSignatures::activeStatement(tableName, id)))
        return false;
    if (!query.next())
        return true;
    const QString signer = query.value(0).toString();
    conflicted = tr("the row is signed by %1 (signed on another workstation after it was "
                    "loaded); its signature must be withdrawn before it can change")
                     .arg(signer);
    qCDebug(lcSql).noquote() << tableName + " " + id + " is signed by " + signer;
    return false;
}

bool ExtRecordStore::saveRow(const QString &table, const QSqlRecord &row, QVariant *id,
                             const QString &failure, const QString &success)
{
    QSqlError error;
    if (!SqlHelper::save(table, row, id, &error))
        return work.fail(failure, error);
    qCDebug(lcSql).noquote() << success;
    return true;
}

bool ExtRecordStore::writeRecord(ExtRecord &record)
{
    QVariant rowId;
    const QString failed = "cannot save in " + tableName + "--";
    // A new row, or a loaded one that had none, has no metadata rows to carry over.
    const bool mayHaveMetadata =
        isLoadedRow(record) ? record.loaded.extId != 0 : !record.isNull("id");
    if (isLoadedRow(record)) {
        if (!unchangedSinceLoaded(record) || !unsignedSinceLoaded(record, false))
            return false;
        // Locked and unchanged: the row is there.
        qCDebug(lcSql).noquote() << "update " + tableName;
        work.queue(SqlHelper::updateStatement(tableName, record), {tableName + " saved..."},
                   failed);
        rowId = record.value("id");
    } else if (!work.flush(failed) ||
               !saveRow(tableName, record, &rowId, failed, tableName + " saved...")) {
        return false;
    }
    if (record.isNull("id"))
        qCDebug(lcSql).noquote() << "is New";
    // The id the data row really got, also when a row thought existing had been deleted meanwhile.
    record.setValue("id", rowId);
    const QString id = QString::number(rowId.toLongLong());
    const QString table = SqlHelper::escape(tableName);

    QList<QSqlRecord> othersMarks;
    if (mayHaveMetadata && !readOthersMarks(id, &othersMarks))
        return false;
    const QList<QPair<QString, QString>> metadata = {{"em", "ext_records_monitorings"},
                                                     {"ef", "ext_records_fields"},
                                                     {"et", "ext_records_tasks"}};
    for (const auto &[alias, metadataTable] : metadata)
        work.queue("DELETE " + alias + ".* FROM ext_records e, " + metadataTable + " " + alias +
                   " WHERE e.id = " + alias + ".ext_record_id AND e.table_name='" + table +
                   "' AND e.table_id =" + id);
    work.queue("DELETE  FROM ext_records  WHERE table_name='" + table + "' AND table_id =" + id);

    // Whole seconds, as the server keeps them, so the record in memory equals the row written.
    QDateTime now = QDateTime::currentDateTime();
    now = now.addMSecs(-now.time().msec());
    if (record.created.isNull())
        record.setCreated(now, userId);
    record.setModified(now, userId);

    QSqlRecord meta;
    if (!blankRecord("ext_records", &meta))
        return false;
    meta.setValue("table_name", tableName);
    meta.setValue("table_id", rowId);
    meta.setValue("created", record.created);
    meta.setValue("modified", record.modified);
    meta.setValue("created_user_id", record.createdUserId);
    meta.setValue("modified_user_id", userId);
    QVariant extId;
    if (SqlHelper::leavesIdToServer(meta)) {
        work.queue(SqlHelper::insertStatement("ext_records", {meta}), {"ext_record saved..."},
                   "cannot save in ext_records ");
        QSqlQuery inserted;
        if (!work.flush(failed, &inserted))
            return false;
        extId = inserted.lastInsertId();
    } else {
        QList<QSqlRecord> metaRows = {meta};
        if (!work.flush(failed) ||
            !insertRows("ext_records", metaRows, "cannot save in ext_records ",
                        {"ext_record saved..."}))
            return false;
        extId = metaRows.first().value("id");
    }
    record.extId = extId.toLongLong();

    // A mark is its owner's note: the other users' marks move to the new metadata row.
    QList<QSqlRecord> monitorings = othersMarks;
    for (QSqlRecord &mark : monitorings)
        mark.setValue("ext_record_id", extId);
    QStringList marked;
    if (record.marked) {
        QSqlRecord monitoring;
        if (!blankRecord("ext_records_monitorings", &monitoring))
            return false;
        monitoring.setValue("ext_record_id", extId);
        monitoring.setValue("user_id", userId);
        monitorings << monitoring;
        marked << "monitoring saved...";
    }
    if (!insertMetadata("ext_records_monitorings", monitorings, "cannot save in monitorings ",
                        marked))
        return false;

    // All states of the row in one statement.
    QList<QSqlRecord> fields;
    QStringList saved;
    QSqlRecord blankField;
    for (int f = 0; f < record.count(); ++f) {
        const int state = record.state(record.fieldName(f));
        if (state == 0)
            continue;
        if (blankField.isEmpty() && !blankRecord("ext_records_fields", &blankField))
            return false;
        QSqlRecord field = blankField;
        field.setValue("ext_record_id", extId);
        field.setValue("field_name", record.fieldName(f));
        field.setValue("state", state);
        fields << field;
        saved << record.fieldName(f) + " saved...";
    }
    if (!insertMetadata("ext_records_fields", fields, "cannot save in ext_records ", saved))
        return false;
    queueTrail(rowId, ExtAuditTrail::changes(record));
    // The rest travels with the commit.
    return true;
}

bool ExtRecordStore::readOthersMarks(const QString &rowId, QList<QSqlRecord> *marks)
{
    QSqlQuery query;
    query.setForwardOnly(true);
    QString user;
    const QString self = SqlHelper::idText(userId, &user) ? user : QString("NULL");
    if (!work.flush("cannot read the marks of " + tableName + "--", &query,
                    "SELECT em.* FROM ext_records e, ext_records_monitorings em WHERE e.id = "
                    "em.ext_record_id AND e.table_name='" +
                        SqlHelper::escape(tableName) + "' AND e.table_id =" + rowId +
                        " AND NOT em.user_id <=> " + self))
        return false;
    while (query.next()) {
        QSqlRecord mark = query.record();
        // A table with ids of its own gives the moved row a new one.
        if (mark.contains("id"))
            mark.setNull("id");
        *marks << mark;
    }
    return true;
}

// Where the server gives the ids, or the table has none, the rows travel with the next round
// trip; otherwise the helper hands out the next ids, which needs an answer first.
bool ExtRecordStore::insertMetadata(const QString &table, QList<QSqlRecord> &rows,
                                    const QString &failure, const QStringList &successes)
{
    if (rows.isEmpty())
        return true;
    if (!rows.first().contains("id") || SqlHelper::leavesIdToServer(rows.first())) {
        work.queue(SqlHelper::insertStatement(table, rows), successes, failure);
        return true;
    }
    return work.flush(failure) && insertRows(table, rows, failure, successes);
}

bool ExtRecordStore::remove(const ExtRecord &record, QSqlError *error, QString *conflict)
{
    const int tableId = record.value("id").toInt();
    const bool ok = work.attempt(
        "the deletion of a row",
        [&] {
            conflicted.clear();
            return removeRow(tableId, &record);
        },
        error);
    return finish(ok, conflict);
}

bool ExtRecordStore::remove(int tableId, QSqlError *error)
{
    return work.attempt(
        "the deletion of a row", [&] { return removeRow(tableId, nullptr); }, error);
}

bool ExtRecordStore::removeRow(int tableId, const ExtRecord *record)
{
    // Deleting a row another workstation changed meanwhile would hide that change; one it
    // deleted already is what this deletion wants.
    bool gone = false;
    if (record && isLoadedRow(*record) && !unchangedSinceLoaded(*record, &gone)) {
        if (!gone)
            return false;
        conflicted.clear();
        return true;
    }
    if (record && isLoadedRow(*record) && !unsignedSinceLoaded(*record, true))
        return false;
    const QString failed = "cannot delete from " + tableName + "--";
    if (!work.flush(failed))
        return false;
    QSqlError error;
    int extId = 0;
    if (!SqlHelper::remove(tableName, QVariant(tableId), &error) ||
        !findExtRecordId(tableId, &extId, &error))
        return work.fail(failed, error);
    const QString extCondition = "ext_record_id=" + QString::number(extId);
    if (!SqlHelper::remove("ext_records", QVariant(extId), &error) ||
        !SqlHelper::remove("ext_records_fields", extCondition, &error) ||
        !SqlHelper::remove("ext_records_monitorings", extCondition, &error))
        return work.fail(failed, error);
    queueTrail(tableId, ExtAuditTrail::removal(record));
    return true;
}

void ExtRecordStore::queueTrail(const QVariant &tableId, const QList<ExtAuditEntry> &entries)
{
    const QString trail =
        auditTrail ? ExtAuditTrail(tableName, userId).statement(tableId, entries) : QString();
    if (!trail.isEmpty())
        work.queue(trail, {}, "cannot save in ext_records_audit ");
}

int ExtRecordStore::extRecordId(int tableId, QSqlError *error)
{
    int extId = 0;
    QSqlError failure;
    if (!findExtRecordId(tableId, &extId, &failure) && error)
        *error = failure;
    return extId;
}

bool ExtRecordStore::findExtRecordId(int tableId, int *extId, QSqlError *error)
{
    QSqlQuery query;
    *extId = 0;
    if (!query.exec("SELECT id from ext_records where table_name='" + SqlHelper::escape(tableName) +
                    "' AND table_id='" + QString::number(tableId) + "'")) {
        *error = query.lastError();
        return false;
    }
    if (query.next())
        *extId = query.value(0).toInt();
    return true;
}
