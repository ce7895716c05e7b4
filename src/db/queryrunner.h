#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSqlError>
#include <QSqlRecord>
#include <QThread>
#include <QVariantList>

#include <atomic>

#include "db/connectionsettings.h"

// Runs a user's statements away from the window, on a connection of its own that a thread of
// its own opens and keeps: the window stays responsive, a running statement can be stopped on
// the server, and session variables and temporary tables last from one run to the next.
class QueryRunner : public QObject
{
    Q_OBJECT
public:
    // What one run gave.
    struct Result
    {
        QSqlRecord columns; // of a statement that returns rows
        QList<QVariantList> rows;
        int rowsAffected = -1; // of a statement that returns none
        QSqlError error;
        QString refusal; // why the read-only rule kept a statement back
        bool cancelled = false;
        qint64 elapsed = 0; // milliseconds

        bool ok() const
        {
            return error.type() == QSqlError::NoError && refusal.isEmpty() && !cancelled;
        }
    };

    explicit QueryRunner(QObject *parent = nullptr);
    // Stops a running statement and waits for the thread to end.
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
    // In the runner's thread.
    Result execute(const QString &text, bool readOnly, const ConnectionSettings &settings);
    bool openConnection(const ConnectionSettings &settings, QSqlError *error);
    void fetch(const QSqlDatabase &db, const QString &text, bool readOnly, Result *result);

    const QString connectionName;
    QThread thread;
    QObject worker; // lives in the thread: runs what is handed to it there
    QElapsedTimer clock;
    bool running = false;
    std::atomic_bool stopRequested{false};
    // The server's id of the runner's connection, 0 while it is not open.
    std::atomic<qulonglong> serverId{0};
};
