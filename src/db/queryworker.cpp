#include "queryworker.h"

#include <QElapsedTimer>
#include <QSqlQuery>

#include "db/readonlyrunner.h"
#include "db/sqlhelper.h"

QueryWorker::QueryWorker(const QString &connectionName)
    : connectionName(connectionName)
{}

QueryWorker::~QueryWorker()
{
    if (!QSqlDatabase::contains(connectionName))
        return;
    QSqlDatabase::database(connectionName, false).close();
    QSqlDatabase::removeDatabase(connectionName);
}

void QueryWorker::run(const QString &text, bool readOnly, const ConnectionSettings &settings)
{
    QElapsedTimer clock;
    clock.start();
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
    result.elapsed = clock.elapsed();
    emit finished(result);
}

bool QueryWorker::openConnection(const ConnectionSettings &settings, QSqlError *error)
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

void QueryWorker::fetch(const QSqlDatabase &db, const QString &text, bool readOnly, Result *result)
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
