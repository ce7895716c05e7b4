#pragma once

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QVariant>

class ExtRecord;
class QSqlQuery;

// One row of the audit trail. Values are kept as text; a null value stays null.
struct ExtAuditEntry
{
    QString fieldName; // empty for the row as a whole and for a mark
    QString action;    // "insert", "update", "delete", "state" or "mark"
    QVariant oldValue;
    QVariant newValue;
    QVariant oldState;
    QVariant newState;
    QVariant userId;
    QString userName;
    QDateTime when; // UTC
};

// Writes and reads the trail of one data table: who changed which field of which row, when,
// from what to what. The writes belong to the transaction of the row's save.
class ExtAuditTrail
{
public:
    ExtAuditTrail(const QString &tableName, const QVariant &userId);

    // Whether the database keeps a trail at all (it may predate the audit table).
    static bool isKept();

    // The entries of a save: record as written (with its id) against what it held when read.
    static QList<ExtAuditEntry> changes(const ExtRecord &record);
    // The entries of a deletion; record may be null when only the id is known.
    static QList<ExtAuditEntry> removal(const ExtRecord *record);

    // The statement that writes the entries; empty when there are none.
    QString statement(const QVariant &tableId, const QList<ExtAuditEntry> &entries) const;
    // The row's trail, newest first, with the user names.
    QList<ExtAuditEntry> history(const QVariant &tableId) const;
    // The field's last state change, with the user's name; an empty action when there is none.
    ExtAuditEntry lastStateChange(const QVariant &tableId, const QString &fieldName) const;
    // The ids (as text) of the rows with a field whose value was changed after its state was
    // last set: one statement for the whole table.
    QSet<QString> changedSinceReviewed() const;

    QString tableName;
    QVariant userId;

private:
    // The select list of the trail's reads, and one entry read from it.
    static QString entryColumns();
    static ExtAuditEntry read(const QSqlQuery &query);
};
