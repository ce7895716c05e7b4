#pragma once

#include <QList>
#include <QRandomGenerator>
#include <QString>

#include "stressconfig.h"
#include "stressjournal.h"

class ExtRecord;
class ExtXmlModel;

// One workstation: logs in as its own user through the program's login code, then loads the
// shared table, changes, adds, marks and deletes rows and saves, again and again, writing
// what each save reported into its journal. A lost server sends it to the next one.
class StressWorker
{
public:
    explicit StressWorker(const StressConfig &config);
    // 0 when every iteration ran; 1 when the worker could not log in (again).
    int run();

    // Counts the store's retry and refusal lines and keeps the program's other debug output quiet.
    static void installMessageHandler();

private:
    struct Pending
    {
        ExtRecord *record = nullptr;
        StressJournal::Row row;
    };

    bool login(QString *error);
    // Logs in again, trying the nodes in turn from the next one, for a while.
    bool loginAgain();
    static bool connectionAlive();
    QString newToken();
    int pickRow(int rowCount);
    void setField(ExtXmlModel &model, int row, const QString &field, const QVariant &value);
    void changeState(ExtXmlModel &model, int row);
    QList<Pending> changeRows(ExtXmlModel &model);
    // Asks, answers, closes and reopens questions, signs rows and withdraws its own signatures,
    // each written at once, as reviewers do between saves.
    void reviewStep(ExtXmlModel &model);
    void journalSave(ExtXmlModel &model, QList<Pending> &pending, bool saved);
    static QString statesText(const ExtRecord &record);

    StressConfig config;
    StressJournal journal;
    QRandomGenerator random;
    int node = 0;
    int userId = 0;
    int groupId = 0;
    int iteration = 0;
    int tokens = 0;
};
