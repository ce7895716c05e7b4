#pragma once

#include <QHash>
#include <QList>
#include <QMap>
#include <QSet>
#include <QSqlDatabase>
#include <QString>

// The shared table and its review metadata as they are in the database, read in a few
// statements, for the journal of the start and for the checks at the end.
class StressSnapshot
{
public:
    struct DataRow
    {
        qlonglong id = 0;
        QString origin;
        QString token;
        int creator = 0;
        int lastUser = 0;
    };
    struct Meta
    {
        qlonglong id = 0;
        qlonglong tableId = 0;
        int createdUser = 0;
        int modifiedUser = 0;
        QMap<QString, int> states;
        QSet<int> markedBy;
    };

    bool read(QSqlDatabase db, QString *error);

    QList<DataRow> rows;
    // ext_records rows of the table by table_id, in id order.
    QHash<qlonglong, QList<Meta>> meta;
    // ext_records rows that name no row of the table (another table, none, or no such id)
    int metaOfNoRow = 0;
    // field states and marks whose ext_record_id names none of the table's ext_records rows
    int detachedMetaRows = 0;
};
