#pragma once

#include <QSqlDatabase>
#include <QString>

#include "stressconfig.h"

// The parent process: makes the database, starts the workers as processes of this program,
// waits for them, checks the database and prints the figures.
class StressRunner
{
public:
    explicit StressRunner(const StressConfig &config);
    // 0: no violation; 1: violations; 2: the run itself failed.
    int run();

private:
    // The administrative connection, on the first node that answers.
    QSqlDatabase open(bool withDatabase, QString *error);
    bool runWorkers(QString *error);

    StressConfig config;
};
