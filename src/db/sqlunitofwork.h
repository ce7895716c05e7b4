#pragma once

#include <QHash>
#include <QList>
#include <QSqlError>
#include <QSqlRecord>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QSqlQuery;

// One transaction on the default connection and how its statements travel: those whose only
// answer is success wait and go to the server together, in one round trip where the server
// allows it; a transaction the server gave up for a concurrent one runs again.
class SqlUnitOfWork
{
public:
    // What a unit of work learns of the server. Kept by the caller across units of work (the
    // rows of one save); without it every unit asks again.
    struct ServerFacts
    {
        // The columns of tables, read without their rows.
        QHash<QString, QSqlRecord> columns;
        // Whether several statements of a transaction may share a round trip.
        std::optional<bool> sharedRoundTrips;
    };

    explicit SqlUnitOfWork(ServerFacts *facts = nullptr);

    // Runs work as one transaction: committed when it succeeds, otherwise rolled back and,
    // when the server gave it up for a concurrent transaction, run again up to maxAttempts
    // times. Its start and its commit travel with the first and last statements. False, with
    // the server's error in error (none when work itself declined), when it failed.
    bool attempt(const QString &what, const std::function<bool()> &work,
                 QSqlError *error = nullptr);

    // Statements whose only answer is success wait here until an answer is needed or the work
    // is done. successes go to the debug output once sent; failure, when not empty, replaces
    // the failure text of the flush that sends it.
    void queue(const QString &statement, const QStringList &successes = {},
               const QString &failure = QString());
    // Sends the waiting statements, with statement last when given; query, when given, then
    // holds the last one's result.
    bool flush(const QString &failure, QSqlQuery *query = nullptr,
               const QString &statement = QString());
    // Whether several statements may share a round trip on this server.
    bool sharesRoundTrips();
    // The columns of table with cleared values, read (once per ServerFacts) without its rows.
    bool columns(const QString &table, QSqlRecord *record);
    // Notes that a step of the work failed with the server's error, with a debug line.
    bool fail(const QString &message, const QSqlError &error);

    static constexpr int maxAttempts = 5;

private:
    struct Pending
    {
        QString statement;
        QStringList successes;
        // Empty: the failure text of the flush that sends it.
        QString failure;
    };
    ServerFacts &known();

    QList<Pending> pending;
    ServerFacts *facts;
    ServerFacts ownFacts;
    // The error of the current attempt's failed step.
    QSqlError failure;
};
