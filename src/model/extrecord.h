#pragma once

#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QSqlRecord>
#include <QSqlRelation>
#include <QString>
#include <QVariant>

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
    int progress() const;
    bool hasCompleteRelation() const;
    static bool isComplete(const QSqlRelation &relation);

    void setState(int field, int state);
    void setRelation(int field, const QSqlRelation &relation);
    void setCreated(const QDateTime &when, const QVariant &userId);
    void setModified(const QDateTime &when, const QVariant &userId);
    void setValues(const QSqlRecord &row);
    // Looks up the display value of every complete relation. With a cache (statement text to
    // result) a lookup that was already made is not sent again.
    void resolveRelations(QHash<QString, QVariant> *cache = nullptr);

    QMap<int, int> states;
    QMap<int, QSqlRelation> relations;
    QMap<int, QVariant> displayValues;
    QMap<int, QString> labels;
    bool marked;
    QDateTime created;
    QDateTime modified;
    QVariant createdUserId;
    QVariant modifiedUserId;
    bool deleted;
    bool dirty;
};
