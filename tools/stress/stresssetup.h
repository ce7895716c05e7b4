#pragma once

#include <QSqlDatabase>
#include <QString>

class StressConfig;

// Makes the database of a run: the schema, one user per worker in groups, the shared table
// with rows of every visibility and their metadata, its table schema file, and the journal
// of the rows as they start (the checks treat them as saved by their creators).
class StressSetup
{
public:
    static constexpr int initialRows = 200;
    static int groupCount(int workers) { return qMax(2, (workers + 3) / 4); }

    static bool run(const StressConfig &config, QSqlDatabase db, QString *error);
    static bool writeSchema(const QString &path, QString *error);
    static bool exec(QSqlDatabase db, const QString &statement, QString *error);

private:
    static bool createDatabase(const StressConfig &config, QSqlDatabase db, QString *error);
    static bool fill(const StressConfig &config, QSqlDatabase db, QString *error);
    static bool writeJournal(const StressConfig &config, QSqlDatabase db, QString *error);
};
