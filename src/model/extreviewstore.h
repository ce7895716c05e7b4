#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QSqlError>
#include <QString>
#include <QVariant>
#include <functional>

struct ExtAuditEntry;
class QSqlQuery;

// What the review questions and the row signatures share: the table they belong to, the acting
// user, and writes that happen at once (not at the next save), each in a transaction of its
// own together with its audit trail entry.
class ExtReviewStore
{
    Q_DECLARE_TR_FUNCTIONS(ExtReviewStore)
public:
    ExtReviewStore(const QString &tableName, const QVariant &userId);

    // Whether the database has the questions' and signatures' tables (it may predate them).
    static bool isKept();

    QString tableName;
    QVariant userId;

protected:
    // Runs work between START TRANSACTION and COMMIT; a false from it, or a failed commit,
    // rolls everything back, and why (in the user's words) goes to why when given.
    bool transact(const std::function<bool()> &work, QString *why);
    // A statement of the work; a failure keeps the server's error.
    bool exec(QSqlQuery &query, const QString &statement);
    bool refuse(const QString &text, QString *why = nullptr);
    // Written where the database keeps a trail, asked of the server at each write.
    bool writeTrail(const QVariant &tableId, const ExtAuditEntry &entry);
    // The stored wall-clock time is UTC; the driver hands it over as local.
    static QDateTime utc(const QVariant &stored);
    // The user's name, or the id when the user is gone.
    static QString userName(const QVariant &id, const QVariant &name);

    // Why the current write was refused or failed.
    QString reason;
    QSqlError error;
};
