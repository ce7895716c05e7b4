#pragma once

#include <QHash>
#include <QSqlError>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

class ExtRecord;
class QSqlQuery;
struct ExtAuditEntry;

// Writes and deletes one data row together with its review metadata, for one table and user.
// Each row's work is one transaction: a failure leaves the row and its metadata as they were.
class ExtRecordStore
{
public:
    enum class Failure { None, Error, Conflict, Signed };

    ExtRecordStore(const QString &tableName, const QVariant &userId);

    // On success the record holds the id really written and its stamps. A row read from the
    // database is written only while it is as it was read: a row another workstation changed
    // or deleted since then fails with a Conflict and stays as the other one left it.
    bool save(ExtRecord &record);
    bool remove(const ExtRecord &record);
    bool remove(int tableId);
    int extRecordId(int tableId);

    QString tableName;
    QVariant userId;
    // Whether each save and deletion also writes its audit trail, in the same transaction.
    bool auditTrail = false;
    // Whether a row's signature keeps its values, states and existence (the database has
    // signatures).
    bool signatures = false;
    // What the store learns of the server, kept by the caller across the rows of one save;
    // without it every row asks again.
    struct ServerFacts
    {
        // The metadata tables' columns.
        QHash<QString, QSqlRecord> columns;
        // Whether several statements of a transaction may share a round trip.
        std::optional<bool> sharedRoundTrips;
    };
    ServerFacts *facts = nullptr;
    // Why the last save or removal failed.
    Failure failure = Failure::None;
    QSqlError error;
    // Who signed the row that a Signed failure refused.
    QString signer;

    // How often a row's transaction runs again after the server gave it up for a conflict
    // with a concurrent transaction (a deadlock, or a cluster's write-set conflict).
    static constexpr int maxAttempts = 5;

private:
    struct Pending
    {
        QString statement;
        QStringList successes;
        // Empty: the failure text of the flush that sends it.
        QString failure;
    };
    QList<Pending> pending;
    ServerFacts ownFacts;

    template<typename Work>
    bool attempt(const QString &what, Work work);
    bool unchangedSinceLoaded(const ExtRecord &record, bool *gone = nullptr);
    bool unsignedSinceLoaded(const ExtRecord &record, bool removal);
    bool writeRecord(ExtRecord &record);
    bool removeRow(int tableId, const ExtRecord *record);
    void queue(const QString &statement, const QStringList &successes = {},
               const QString &failure = QString());
    // Sends the waiting statements, with statement last when given; query, when given, then
    // holds the last one's result.
    bool flush(const QString &failure, QSqlQuery *query = nullptr,
               const QString &statement = QString());
    void queueTrail(const QVariant &tableId, const QList<ExtAuditEntry> &entries);
    bool fail(const QString &message, const QSqlError &error);
    ServerFacts &known();
    bool sharesRoundTrips();
    bool blankRecord(const QString &table, QSqlRecord *record);
    bool findExtRecordId(int tableId, int *extId);
    bool saveRow(const QString &table, const QSqlRecord &row, QVariant *id, const QString &failure,
                 const QString &success);
    bool insertRows(const QString &table, QList<QSqlRecord> &rows, const QString &failure,
                    const QStringList &successes);
    bool insertMetadata(const QString &table, QList<QSqlRecord> &rows, const QString &failure,
                        const QStringList &successes);
    // The marks of other users on the row's metadata, as they will be written again.
    bool readOthersMarks(const QString &rowId, QList<QSqlRecord> *marks);
};
