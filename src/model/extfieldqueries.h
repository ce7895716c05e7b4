#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

#include "model/extreviewstore.h"

// One message of a question's thread.
struct ExtQueryMessage
{
    QVariant userId;
    QString userName;
    QDateTime when; // UTC
    QString text;
};

// A question raised on one field of a row, with its thread, oldest message first.
struct ExtFieldQuery
{
    qlonglong id = 0;
    QVariant tableId;
    QString fieldName;
    QVariant openedBy;
    QString openedByName;
    QDateTime opened; // UTC
    // "open", "answered" or "closed"; only a closed question is settled.
    QString status;
    QList<ExtQueryMessage> messages;
};

// The questions on the fields of one table's rows. A question is opened with its first message,
// answered by anyone who sees the row, and closed or reopened by the one who opened it or an
// administrator. Each step is written at once.
class ExtFieldQueries : public ExtReviewStore
{
    Q_DECLARE_TR_FUNCTIONS(ExtFieldQueries)
public:
    using ExtReviewStore::ExtReviewStore;

    // The questions not closed yet: row id as text, then field name, to their number.
    QHash<QString, QHash<QString, int>> openCounts() const;
    // The row's questions, oldest first, with their threads.
    QList<ExtFieldQuery> ofRow(const QVariant &tableId) const;

    // Writes that fail or are refused give why in the user's words.
    bool open(const QVariant &tableId, const QString &fieldName, const QString &text,
              QString *why = nullptr);
    // A message of the one who opened the question asks again; anyone else's answers it.
    bool answer(const ExtFieldQuery &query, const QString &text, QString *why = nullptr);
    bool setClosed(const ExtFieldQuery &query, bool closed, bool administrator,
                   QString *why = nullptr);

private:
    // The question's status as it stands now, locked until the commit.
    bool lockStatus(const ExtFieldQuery &query, QString *status);
};
