#pragma once

#include <QList>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

// The statements kept in table `querys`, each under a name and for one group.
class SavedQueries
{
public:
    // The statements of every group the user belongs to, once per membership row.
    static QList<QSqlRecord> visibleTo(const QVariant &userId);
    // Replaces any statement of that name, in whatever group, by this one.
    static bool save(const QString &name, const QString &query, int groupId);
    static bool remove(const QString &name);
};
