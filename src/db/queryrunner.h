#pragma once

#include <QElapsedTimer>
#include <QObject>

#include "db/queryworker.h"

class QThread;

// Runs a user's statements away from the window, on a connection of its own that a thread of
// its own opens and keeps: the window stays responsive, a running statement can be stopped on
// the server, and session variables and temporary tables last from one run to the next.
class QueryRunner : public QObject
{
    Q_OBJECT
public:
    using Result = QueryWorker::Result;

    explicit QueryRunner(QObject *parent = nullptr);
    // Stops a running statement and waits a little for the thread to end; a thread held by a
    // server that does not answer is left to end by itself.
    ~QueryRunner() override;

    // Starts text on the runner's connection, opened with the default connection's settings
    // at the first run and after it was lost; readOnly runs it through ReadOnlyRunner. False,
    // and nothing started, while a run is going on.
    bool start(const QString &text, bool readOnly);
    bool isRunning() const { return running; }
    // Milliseconds since the current or last run started.
    qint64 elapsed() const { return clock.elapsed(); }
    // Asks the server, through the default connection, to stop the running statement. False,
    // with the reason in error, when the server could not be asked.
    bool cancel(QString *error = nullptr);

signals:
    void finished(const QueryRunner::Result &result);

private:
    QThread *thread;
    QueryWorker *worker; // lives in the thread, and ends with it
    QElapsedTimer clock;
    bool running = false;
};
