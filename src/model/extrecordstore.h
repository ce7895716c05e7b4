#pragma once

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "db/sqlunitofwork.h"

class ExtRecord;
struct ExtAuditEntry;

// Writes and deletes one data row together with its review metadata, for one table and user.
// Each row's work is one transaction: a failure leaves the row and its metadata as they were.
class ExtRecordStore
{
    Q_DECLARE_TR_FUNCTIONS(ExtRecordStore)

public:
    // facts, when given, is what the caller keeps of the server across the rows of one save.
    ExtRecordStore(const QString &tableName, const QVariant &userId,
                   SqlUnitOfWork::ServerFacts *facts = nullptr);

    // On success the record holds the id really written and its stamps. A row read from the
    // database is written only while it is as it was read: a row another workstation changed
    // or deleted since then, or signed, fails with conflict saying so for the user (and no
    // error) and stays as the other one left it. Otherwise a failure gives the server's error.
    bool save(ExtRecord &record, QSqlError *error = nullptr, QString *conflict = nullptr);
    bool remove(const ExtRecord &record, QSqlError *error = nullptr, QString *conflict = nullptr);
    bool remove(int tableId, QSqlError *error = nullptr);
    // 0 also when the lookup failed; error, when given, then receives the server's error.
    int extRecordId(int tableId, QSqlError *error = nullptr);

    QString tableName;
    QVariant userId;
    // Whether each save and deletion also writes its audit trail, in the same transaction.
    bool auditTrail = false;
    // Whether a row's signature keeps its values, states and existence (the database has
    // signatures).
    bool signatures = false;

private:
    bool finish(bool ok, QString *conflict) const;
    bool unchangedSinceLoaded(const ExtRecord &record, bool *gone = nullptr);
    bool unsignedSinceLoaded(const ExtRecord &record, bool removal);
    bool writeRecord(ExtRecord &record);
    bool removeRow(int tableId, const ExtRecord *record);
    void queueTrail(const QVariant &tableId, const QList<ExtAuditEntry> &entries);
    bool blankRecord(const QString &table, QSqlRecord *record);
    bool findExtRecordId(int tableId, int *extId, QSqlError *error);
    bool saveRow(const QString &table, const QSqlRecord &row, QVariant *id, const QString &failure,
                 const QString &success);
    bool insertRows(const QString &table, QList<QSqlRecord> &rows, const QString &failure,
                    const QStringList &successes);
    bool insertMetadata(const QString &table, QList<QSqlRecord> &rows, const QString &failure,
                        const QStringList &successes);
    // The marks of other users on the row's metadata, as they will be written again.
    bool readOthersMarks(const QString &rowId, QList<QSqlRecord> *marks);

    SqlUnitOfWork work;
    // Why the current attempt found the row changed or signed elsewhere; empty when it did not.
    QString conflicted;
};
