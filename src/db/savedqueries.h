#pragma once

#include <QList>
#include <QSqlError>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

// The statements kept in table `querys`, each under a name and for one group. A failure gives
// the server's error through error, when given.
class SavedQueries
{
public:
    // The statements of every group the user belongs to, once per membership row; empty when
    // the read failed.
    static QList<QSqlRecord> visibleTo(const QVariant &userId, QSqlError *error = nullptr);
    // Replaces any statement of that name, in whatever group, by this one.
    static bool save(const QString &name, const QString &query, int groupId,
                     QSqlError *error = nullptr);
    static bool remove(const QString &name, QSqlError *error = nullptr);
};
