#include "extreviewstore.h"

#include <QDebug>
#include <QSqlQuery>

#include "core/logcategories.h"
#include "db/sqlhelper.h"
#include "model/extaudittrail.h"

ExtReviewStore::ExtReviewStore(const QString &tableName, const QVariant &userId)
    : tableName(tableName)
    , userId(userId)
{}

bool ExtReviewStore::isKept()
{
    return SqlHelper::hasTables(
        {"ext_records_queries", "ext_records_query_messages", "ext_records_signatures"});
}

bool ExtReviewStore::transact(const std::function<bool()> &work, QString *why)
{
    reason.clear();
    error = QSqlError();
    SqlHelper::reopenIfLost();
    QSqlQuery query;
    if (exec(query, "START TRANSACTION") && work() && exec(query, "COMMIT"))
        return true;
    query.exec("ROLLBACK");
    const bool lost = SqlHelper::noteLostConnection(error);
    if (why) {
        *why = reason.isEmpty() ? error.text() : reason;
        if (lost)
            *why += tr("; the connection to the server was lost, and is opened again at the "
                       "next load or save");
    }
    return false;
}

bool ExtReviewStore::exec(QSqlQuery &query, const QString &statement)
{
    if (query.exec(statement))
        return true;
    error = query.lastError();
    qCDebug(lcSql).noquote() << "review write failed: " + error.text();
    return false;
}

bool ExtReviewStore::refuse(const QString &text, QString *why)
{
    reason = text;
    if (why)
        *why = text;
    return false;
}

bool ExtReviewStore::writeTrail(const QVariant &tableId, const ExtAuditEntry &entry)
{
    if (!ExtAuditTrail::isKept())
        return true;
    QSqlQuery query;
    return exec(query, ExtAuditTrail(tableName, userId).statement(tableId, {entry}));
}

QDateTime ExtReviewStore::utc(const QVariant &stored)
{
    if (stored.isNull())
        return QDateTime();
    const QDateTime local = stored.toDateTime();
    return QDateTime(local.date(), local.time(), Qt::UTC);
}

QString ExtReviewStore::userName(const QVariant &id, const QVariant &name)
{
    return name.isNull() ? id.toString() : name.toString();
}
