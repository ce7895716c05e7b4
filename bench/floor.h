#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// The floor the program is measured against: the fewest plain statements that read or write
// the same data, into and out of plain containers.
class Floor
{
public:
    struct Relation
    {
        int field;
        QString table;
        QString indexColumn;
        QString displayColumn;
    };
    struct Row
    {
        QVector<QVariant> values;
        QVector<QVariant> displayValues;
        QVector<QPair<int, int>> states;
        QDateTime created;
        QDateTime modified;
        QVariant createdUserId;
        QVariant modifiedUserId;
        bool marked = false;
    };
    struct Table
    {
        QStringList columns;
        QVector<Row> rows;
    };

    // The visibility statement, one metadata join, one fetch per relation.
    static bool load(const QString &table, int userId, const QList<Relation> &relations,
                     Table *result, QString *error);
    // The same writes as the program's save of these rows, as multi-row statements in one
    // transaction.
    static bool save(const QString &table, int userId, const QStringList &columns,
                     const QVector<Row> &rows, QString *error);
    // One small write per row, each in a transaction of its own: what per-row transactions
    // cost whatever a row writes.
    static bool commits(const QString &table, const QVector<qlonglong> &ids, QString *error);
};
