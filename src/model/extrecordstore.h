#pragma once

#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>

class ExtRecord;

// Writes and deletes one data row together with its review metadata, for one table and user.
// Each row's work is one transaction: a failure leaves the row and its metadata as they were.
class ExtRecordStore
{
public:
    ExtRecordStore(const QString &tableName, const QVariant &userId);

    // On success the record holds the id really written and its stamps.
    bool save(ExtRecord &record);
    bool remove(const ExtRecord &record);
    bool remove(int tableId);
    int extRecordId(int tableId);

    QString tableName;
    QVariant userId;
    // Whether each save and deletion also writes its audit trail, in the same transaction.
    bool auditTrail = false;

private:
    bool writeRecord(ExtRecord &record);
    bool removeRow(int tableId, const ExtRecord *record);
    bool saveRow(const QString &table, const QSqlRecord &row, QVariant *id, const QString &failure,
                 const QString &success);
    bool insertRows(const QString &table, QList<QSqlRecord> &rows, const QString &failure,
                    const QStringList &successes);
};
