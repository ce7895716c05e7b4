#pragma once

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

// Runs statements so that they cannot change the database: only reading statements are sent,
// one at a time, each in a read-only transaction that the server enforces (it refuses a write
// that a reading statement hides, such as a function that writes).
class ReadOnlyRunner
{
    Q_DECLARE_TR_FUNCTIONS(ReadOnlyRunner)
public:
    // The statements of a text, split at the semicolons outside quotes and comments.
    static QStringList split(const QString &text);
    // A statement that only reads: SELECT, SHOW, DESCRIBE, EXPLAIN, WITH or VALUES, writing no
    // file and hiding nothing in the comments that the server runs.
    static bool isReading(const QString &statement);
    // Runs each statement of text that reads on db, stopping at the first that fails or that
    // does not read (it is not sent). The query, made for db, is left on the result of the last
    // one run; refusal receives, for the user, why a statement was not run or was refused.
    static bool run(const QSqlDatabase &db, QSqlQuery &query, const QString &text,
                    QString *refusal);
};
