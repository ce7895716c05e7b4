#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QSqlRecord>
#include <QSqlRelation>
#include <QString>
#include <QVariant>

#include "model/columnlimit.h"

// One row of a data table with its review metadata. A copy starts clean (neither dirty nor
// deleted) and holds an entry for every field in each map; assignment copies everything.
class ExtRecord : public QSqlRecord
{
public:
    ExtRecord();
    ExtRecord(const ExtRecord &other);
    ExtRecord &operator=(const ExtRecord &other) = default;

    int state(int field) const;
    int state(const QString &fieldName) const;
    QSqlRelation relation(int field) const;
    QVariant displayValue(int field) const;
    QString label(int field) const;
    ColumnLimit limit(int field) const { return limits.value(field); }
    int progress() const;
    bool hasCompleteRelation() const;
    static bool isComplete(const QSqlRelation &relation);
    // The lookup of a field's display value.
    QString relationStatement(int field) const;

    void setState(int field, int state);
    void setRelation(int field, const QSqlRelation &relation);
    void setCreated(const QDateTime &when, const QVariant &userId);
    void setModified(const QDateTime &when, const QVariant &userId);
    void setValues(const QSqlRecord &row);
    // Keeps the values, states and mark as they are now as those the row was read with.
    void rememberLoaded();

    QMap<int, int> states;
    QMap<int, QSqlRelation> relations;
    QMap<int, QVariant> displayValues;
    QMap<int, QString> labels;
    // What each column can hold; a field without an entry takes any value.
    QMap<int, ColumnLimit> limits;
    bool marked;
    QDateTime created;
    QDateTime modified;
    QVariant createdUserId;
    QVariant modifiedUserId;
    // The id of the metadata row the stamps were read from or written to; 0 for none.
    qlonglong extId = 0;
    bool deleted;
    bool dirty;

    // What the row held when it was read (or last written): the old values of the audit trail.
    // A new row has none.
    struct Loaded
    {
        bool known = false;
        QSqlRecord values;
        QMap<int, int> states;
        bool marked = false;
        // Another workstation's save gives the row a new metadata row.
        qlonglong extId = 0;
        QDateTime modified;
    };
    Loaded loaded;
};
