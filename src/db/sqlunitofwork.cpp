#include "sqlunitofwork.h"

#include <QDebug>
#include <QSqlQuery>

#include "core/logcategories.h"
#include "db/sqlhelper.h"

namespace {
// The server gave the transaction up for a concurrent one: a deadlock (also how a cluster
// reports a write-set conflict at commit) or a lock wait that timed out. Running it again
// usually succeeds.
bool isTransient(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    return code == "1213" || code == "1205";
}
} // namespace

SqlUnitOfWork::SqlUnitOfWork(ServerFacts *facts)
    : facts(facts)
{}

bool SqlUnitOfWork::attempt(const QString &what, const std::function<bool()> &work,
                            QSqlError *error)
{
    for (int n = 1;; ++n) {
        failure = QSqlError();
        queue("START TRANSACTION");
        if (work()) {
            queue("COMMIT");
            if (flush("cannot commit: "))
                return true;
        }
        pending.clear();
        QSqlQuery rollback;
        rollback.exec("ROLLBACK");
        if (!isTransient(failure) || n >= maxAttempts) {
            if (error)
                *error = failure;
            return false;
        }
        qCDebug(lcSql).noquote() << "retrying " + what + " after: " + failure.text();
    }
}

bool SqlUnitOfWork::fail(const QString &message, const QSqlError &error)
{
    failure = error;
    qCDebug(lcSql).noquote() << message + error.text();
    return false;
}

SqlUnitOfWork::ServerFacts &SqlUnitOfWork::known()
{
    return facts ? *facts : ownFacts;
}

// A Galera node that aborts a transaction for a conflicting one in the middle of several
// statements sent at once says nothing and runs the rest on their own, each committed. There
// every statement goes alone, and the abort reaches the next one as an error. A server that
// cannot be asked is treated the same: one statement at a time is right everywhere.
bool SqlUnitOfWork::sharesRoundTrips()
{
    std::optional<bool> &shared = known().sharedRoundTrips;
    if (!shared) {
        QSqlQuery query;
        shared = query.exec("SHOW VARIABLES LIKE 'wsrep_on'") &&
                 (!query.next() || query.value(1).toString().compare("ON", Qt::CaseInsensitive));
    }
    return *shared;
}

// Read with the waiting statements rather than on its own (the helper's blank record reads
// the whole table): inside a transaction every statement's error counts, since a cluster node
// that aborts the transaction tells so to the next statement.
bool SqlUnitOfWork::columns(const QString &table, QSqlRecord *record)
{
    QHash<QString, QSqlRecord> &known = this->known().columns;
    if (known.contains(table)) {
        *record = known.value(table);
        return true;
    }
    QSqlQuery query;
    if (!flush("cannot read the columns of " + table + " ", &query,
               "SELECT * FROM " + SqlHelper::identifier(table) + " LIMIT 0"))
        return false;
    *record = query.record();
    known.insert(table, *record);
    return true;
}

void SqlUnitOfWork::queue(const QString &statement, const QStringList &successes,
                          const QString &failure)
{
    pending << Pending{statement, successes, failure};
}

bool SqlUnitOfWork::flush(const QString &failure, QSqlQuery *query, const QString &statement)
{
    QList<Pending> batch = std::exchange(pending, {});
    if (!statement.isEmpty())
        batch << Pending{statement, {}, {}};
    if (batch.isEmpty())
        return true;
    QStringList statements;
    for (const Pending &each : std::as_const(batch))
        statements << each.statement;
    QSqlQuery own;
    int done = 0;
    QSqlError error;
    if (!SqlHelper::run(query ? *query : own, statements, &done, sharesRoundTrips(), &error)) {
        const QString failed = batch.value(done).failure;
        return fail(failed.isEmpty() ? failure : failed, error);
    }
    for (const Pending &each : std::as_const(batch)) {
        for (const QString &success : each.successes)
            qCDebug(lcSql).noquote() << success;
    }
    return true;
}
