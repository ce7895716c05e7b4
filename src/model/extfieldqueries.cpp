#include "extfieldqueries.h"

#include <QSqlQuery>

#include "db/sqlhelper.h"
#include "model/extaudittrail.h"

QHash<QString, QHash<QString, int>> ExtFieldQueries::openCounts() const
{
    QHash<QString, QHash<QString, int>> counts;
    QSqlQuery query;
    query.setForwardOnly(true);
    if (!query.exec("SELECT table_id, field_name, COUNT(*) FROM ext_records_queries WHERE "
                    "table_name = " +
                    SqlHelper::literal(tableName) +
                    " AND status <> 'closed' GROUP BY table_id, field_name"))
        return counts;
    while (query.next())
        counts[query.value(0).toString()].insert(query.value(1).toString(), query.value(2).toInt());
    return counts;
}

QList<ExtFieldQuery> ExtFieldQueries::ofRow(const QVariant &tableId) const
{
    QList<ExtFieldQuery> questions;
    QString id;
    if (!SqlHelper::idText(tableId, &id))
        return questions;
    QSqlQuery query;
    query.setForwardOnly(true);
    // One statement: each question with its messages, in order.
    if (!query.exec("SELECT q.id, q.field_name, q.opened_by, o.username, q.opened, q.status, "
                    "m.user_id, u.username, m.time, m.text FROM ext_records_queries q LEFT JOIN "
                    "users o ON o.id = q.opened_by LEFT JOIN ext_records_query_messages m ON "
                    "m.query_id = q.id LEFT JOIN users u ON u.id = m.user_id WHERE q.table_name "
                    "= " +
                    SqlHelper::literal(tableName) + " AND q.table_id = " + id +
                    " ORDER BY q.id, m.time, m.id"))
        return questions;
    while (query.next()) {
        const qlonglong questionId = query.value(0).toLongLong();
        if (questions.isEmpty() || questions.last().id != questionId) {
            ExtFieldQuery question;
            question.id = questionId;
            question.tableId = tableId;
            question.fieldName = query.value(1).toString();
            question.openedBy = query.value(2);
            question.openedByName = userName(query.value(2), query.value(3));
            question.opened = utc(query.value(4));
            question.status = query.value(5).toString();
            questions << question;
        }
        if (!query.isNull(9))
            questions.last().messages
                << ExtQueryMessage{query.value(6), userName(query.value(6), query.value(7)),
                                   utc(query.value(8)), query.value(9).toString()};
    }
    return questions;
}

bool ExtFieldQueries::open(const QVariant &tableId, const QString &fieldName, const QString &text,
                           QString *why)
{
    QString id;
    if (!SqlHelper::idText(tableId, &id))
        return refuse(tr("a question is asked on a saved row"), why);
    if (text.trimmed().isEmpty())
        return refuse(tr("a question needs its text"), why);
    return transact(
        [&] {
            QSqlQuery query;
            ExtAuditEntry entry;
            entry.action = "question";
            entry.fieldName = fieldName;
            entry.newValue = text.trimmed();
            return exec(query, "INSERT INTO ext_records_queries (table_name, table_id, field_name, "
                               "opened_by, opened, status) VALUES (" +
                                   SqlHelper::literal(tableName) + ", " + id + ", " +
                                   SqlHelper::literal(fieldName) + ", " +
                                   SqlHelper::literal(userId) + ", UTC_TIMESTAMP(), 'open')") &&
                   exec(query, "INSERT INTO ext_records_query_messages (query_id, user_id, time, "
                               "text) VALUES (LAST_INSERT_ID(), " +
                                   SqlHelper::literal(userId) + ", UTC_TIMESTAMP(), " +
                                   SqlHelper::literal(text.trimmed()) + ")") &&
                   writeTrail(id, entry);
        },
        why);
}

bool ExtFieldQueries::lockStatus(const ExtFieldQuery &question, QString *status)
{
    QSqlQuery query;
    if (!exec(query, "SELECT status FROM ext_records_queries WHERE id = " +
                         QString::number(question.id) + " FOR UPDATE"))
        return false;
    if (!query.next())
        return refuse(tr("the question is gone"));
    *status = query.value(0).toString();
    return true;
}

bool ExtFieldQueries::answer(const ExtFieldQuery &question, const QString &text, QString *why)
{
    if (text.trimmed().isEmpty())
        return refuse(tr("an answer needs its text"), why);
    return transact(
        [&] {
            QString status;
            if (!lockStatus(question, &status))
                return false;
            if (status == "closed")
                return refuse(tr("the question was closed; reopen it to answer"));
            const bool asker = question.openedBy.toString() == userId.toString();
            QSqlQuery query;
            ExtAuditEntry entry;
            entry.action = "answer";
            entry.fieldName = question.fieldName;
            entry.newValue = text.trimmed();
            // Appended, never merged: answers from two workstations at once are both kept.
            return exec(query, "INSERT INTO ext_records_query_messages (query_id, user_id, time, "
                               "text) VALUES (" +
                                   QString::number(question.id) + ", " +
                                   SqlHelper::literal(userId) + ", UTC_TIMESTAMP(), " +
                                   SqlHelper::literal(text.trimmed()) + ")") &&
                   exec(query, QString("UPDATE ext_records_queries SET status = '%1' WHERE id = %2")
                                   .arg(asker ? "open" : "answered")
                                   .arg(question.id)) &&
                   writeTrail(question.tableId, entry);
        },
        why);
}

bool ExtFieldQueries::setClosed(const ExtFieldQuery &question, bool closed, bool administrator,
                                QString *why)
{
    if (!administrator && question.openedBy.toString() != userId.toString())
        return refuse(tr("only %1, who asked the question, or an administrator may close or "
                         "reopen it")
                          .arg(question.openedByName),
                      why);
    return transact(
        [&] {
            QString status;
            if (!lockStatus(question, &status))
                return false;
            const QString next = closed ? "closed" : "open";
            if (status == next)
                return true;
            QSqlQuery query;
            ExtAuditEntry entry;
            entry.action = "status";
            entry.fieldName = question.fieldName;
            entry.oldValue = status;
            entry.newValue = next;
            return exec(query, "UPDATE ext_records_queries SET status = '" + next +
                                   "' WHERE id = " + QString::number(question.id)) &&
                   writeTrail(question.tableId, entry);
        },
        why);
}
