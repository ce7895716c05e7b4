#pragma once

#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlRecord>
#include <QVariantList>

#include <atomic>

#include "db/connectionsettings.h"

// QueryRunner's side in its thread: opens the connection there, keeps it between runs, runs
// statements on it and removes it when the thread ends. It ends with the thread, which may
// outlive the runner while a server that does not answer holds a statement.
class QueryWorker : public QObject
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

    explicit QueryWorker(const QString &connectionName);
    ~QueryWorker() override;

    // In the worker's thread: runs text, opening the connection first when it is not open.
    void run(const QString &text, bool readOnly, const ConnectionSettings &settings);

    // From any thread: stop fetching rows, and do not start a statement not sent yet.
    std::atomic_bool stopRequested{false};
    // The server's id of the connection, 0 while it is not open.
    std::atomic<qulonglong> serverId{0};

signals:
    void finished(const QueryWorker::Result &result);

private:
    bool openConnection(const ConnectionSettings &settings, QSqlError *error);
    void fetch(const QSqlDatabase &db, const QString &text, bool readOnly, Result *result);

    const QString connectionName;
};
