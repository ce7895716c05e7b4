#include "queryrunner.h"

#include <QSqlQuery>

#include "db/readonlyrunner.h"
#include "db/sqlhelper.h"

namespace {
QString uniqueConnectionName()
{
    static std::atomic_int count{0};
    return QString("queryrunner-%1").arg(++count);
}
} // namespace

QueryRunner::QueryRunner(QObject *parent)
    : QObject(parent)
    , connectionName(uniqueConnectionName())
{
    worker.moveToThread(&thread);
    thread.start();
}

QueryRunner::~QueryRunner()
{
    cancel();
    // Queued behind a statement still running: the connection goes with the thread that
    // opened it.
    QMetaObject::invokeMethod(&worker, [name = connectionName] {
        if (!QSqlDatabase::contains(name))
            return;
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    });
    thread.quit();
    thread.wait();
}

bool QueryRunner::start(const QString &text, bool readOnly)
{
    if (running)
        return false;
    running = true;
    stopRequested = false;
    clock.start();
    ConnectionSettings settings =
        ConnectionSettings::of(QSqlDatabase::database(QSqlDatabase::defaultConnection, false));
    // A long statement is legitimate here; Cancel ends it, not a time-out.
    settings.timeout = 0;
    QMetaObject::invokeMethod(&worker, [this, text, readOnly, settings] {
        const Result result = execute(text, readOnly, settings);
        QMetaObject::invokeMethod(this, [this, result] {
            running = false;
            emit finished(result);
        });
    });
    return true;
}

bool QueryRunner::cancel(QString *error)
{
    if (!running)
        return false;
    stopRequested = true;
    // Not open yet: the run sees the request before its statement starts.
    const qulonglong id = serverId;
    if (id == 0)
        return true;
    SqlHelper::reopenIfLost();
    QSqlQuery kill;
    if (kill.exec("KILL QUERY " + QString::number(id)))
        return true;
    SqlHelper::isConnectionLost(kill.lastError());
    if (error)
        *error = kill.lastError().text();
    return false;
}

bool QueryRunner::openConnection(const ConnectionSettings &settings, QSqlError *error)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    if (db.isOpen())
        return true;
    if (!db.isValid())
        db = settings.addDatabase(connectionName);
    if (!db.open()) {
        *error = db.lastError();
        return false;
    }
    QSqlQuery query(db);
    if (query.exec("SELECT CONNECTION_ID()") && query.next())
        serverId = query.value(0).toULongLong();
    return true;
}

void QueryRunner::fetch(const QSqlDatabase &db, const QString &text, bool readOnly, Result *result)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    const bool ok =
        readOnly ? ReadOnlyRunner::run(db, query, text, &result->refusal) : query.exec(text);
    if (ok && query.isSelect()) {
        result->columns = query.record();
        while (!stopRequested && query.next()) {
            QVariantList row;
            row.reserve(result->columns.count());
            for (int column = 0; column < result->columns.count(); ++column)
                row << query.value(column);
            result->rows << row;
        }
    } else if (ok) {
        result->rowsAffected = query.numRowsAffected();
    }
    result->error = query.lastError();
}

QueryRunner::Result QueryRunner::execute(const QString &text, bool readOnly,
                                         const ConnectionSettings &settings)
{
    QElapsedTimer runClock;
    runClock.start();
    Result result;
    if (openConnection(settings, &result.error) && !stopRequested) {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        fetch(db, text, readOnly, &result);
        if (SqlHelper::meansLostConnection(result.error)) {
            // Opened again by the next run.
            serverId = 0;
            db.close();
        }
    }
    result.cancelled = stopRequested;
    result.elapsed = runClock.elapsed();
    return result;
}
