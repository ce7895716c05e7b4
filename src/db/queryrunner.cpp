#include "queryrunner.h"

#include <QSqlQuery>
#include <QThread>

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
    , thread(new QThread)
    , worker(new QueryWorker(uniqueConnectionName()))
{
    worker->moveToThread(thread);
    // The worker goes in its own thread, which removes the connection there.
    connect(thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(worker, &QueryWorker::finished, this, [this](const Result &result) {
        running = false;
        emit finished(result);
    });
    thread->start();
}

QueryRunner::~QueryRunner()
{
    cancel();
    thread->quit();
    if (thread->wait(QDeadlineTimer(5000)))
        delete thread;
}

bool QueryRunner::start(const QString &text, bool readOnly)
{
    if (running)
        return false;
    running = true;
    worker->stopRequested = false;
    clock.start();
    ConnectionSettings settings =
        ConnectionSettings::of(QSqlDatabase::database(QSqlDatabase::defaultConnection, false));
    // A long statement is legitimate here; Cancel ends it, not a time-out.
    settings.timeout = 0;
    QMetaObject::invokeMethod(worker, [worker = worker, text, readOnly, settings] {
        worker->run(text, readOnly, settings);
    });
    return true;
}

bool QueryRunner::cancel(QString *error)
{
    if (!running)
        return false;
    worker->stopRequested = true;
    // Not open yet: the run sees the request before its statement starts.
    const qulonglong id = worker->serverId;
    if (id == 0)
        return true;
    SqlHelper::reopenIfLost();
    QSqlQuery kill;
    if (kill.exec("KILL QUERY " + QString::number(id)))
        return true;
    SqlHelper::noteLostConnection(kill.lastError());
    if (error)
        *error = kill.lastError().text();
    return false;
}
