#pragma once

#include <QString>
#include <QStringList>

// The benchmark's own data on the server: the schema, two users in groups of their own, two
// relation tables of 200 rows, and per size a data table of 10 columns with its metadata.
class BenchData
{
public:
    static constexpr int benchUser = 1;
    static constexpr int otherUser = 2;
    static constexpr int relationRows = 200;
    // The fields that carry review states in the generated metadata.
    static QStringList stateFields() { return {"name", "amount", "due"}; }

    // Creates the database (dropping an older one), loads the schema and opens it as the
    // default connection.
    static bool createDatabase(const QString &host, int port, const QString &user,
                               const QString &password, const QString &database, QString *error);
    static bool createShared(QString *error);
    // N rows visible to the benchmark user (half in its groups, half with group 0 or NULL),
    // N of other groups; metadata with three field states on 80 % of the visible rows, the
    // user's mark on 10 %, another user's mark on a further 10 %.
    static bool createTable(const QString &table, int visibleRows, QString *error);
    // A table schema with labels and both relations, written into dir; returns its path.
    static QString writeSchema(const QString &dir, const QString &table);

    static bool exec(const QString &statement, QString *error);
};
