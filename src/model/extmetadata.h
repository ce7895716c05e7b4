#pragma once

#include <QHash>
#include <QList>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

class ExtRecord;

// Reads the review metadata of loaded rows: creation and change stamps, the user's mark and
// the field states. Field names are matched against columns without regard to case; a state
// naming no column is kept under field -1.
class ExtMetadata
{
public:
    // Three statements per row; the reference that readRecords() must agree with.
    static void readRecord(ExtRecord &record, const QString &table, const QString &userId,
                           const QSqlRecord &columns);
    // Three statements for the whole table, whatever the number of rows. False when one of
    // them failed: the rows then lack metadata and must not be shown or saved as loaded.
    static bool readRecords(const QList<ExtRecord *> &records, const QString &table,
                            const QString &userId, const QSqlRecord &columns,
                            QString *error = nullptr);

    // Looks up the display value of every complete relation of the record: invalid when the
    // lookup failed, a null of the display column's type when no row matches. With a cache
    // (statement text to result) a lookup that was already made is not sent again.
    static void resolveRelations(ExtRecord &record, QHash<QString, QVariant> *cache = nullptr);
    // Fills the cache for resolveRelations() with the lookups of all records, a few statements
    // per relation instead of one per key.
    static void fetchDisplayValues(const QList<ExtRecord *> &records,
                                   QHash<QString, QVariant> *cache);

    // Every user's name by id (as text), in one statement.
    static QHash<QString, QString> userNames();
};
