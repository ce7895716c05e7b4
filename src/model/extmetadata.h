#pragma once

#include <QHash>
#include <QList>
#include <QSqlRecord>
#include <QString>

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

    // Every user's name by id (as text), in one statement.
    static QHash<QString, QString> userNames();
};
