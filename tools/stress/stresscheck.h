#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include "stressjournal.h"

class StressConfig;
class StressSnapshot;

// Holds the database at the end of a run against the workers' journals. Every save writes a
// fresh token into the rows it changes and journals the token the row was loaded with, so
// the saves of a row form a chain from the token in the database back to its creation: a
// save reported done that is not on that chain was overwritten by one that had not seen it.
class StressCheck
{
public:
    bool run(const StressConfig &config, QSqlDatabase db, QString *error);
    // One figure per line, the violations last.
    QList<QPair<QString, int>> figures() const;
    int violations() const;

    QHash<QString, int> events;
    int rowsSaved = 0;
    int rowsFailed = 0;
    int rowsDeleted = 0;
    int rowsAtEnd = 0;
    int failedButWritten = 0;
    int marksRemovedByOthers = 0;

    int metaOfNoRow = 0;
    int detachedMeta = 0;
    int rowsWithTwoMeta = 0;
    int rowsWithoutMeta = 0;
    int metaOfAnotherRow = 0;
    int duplicateRows = 0;
    int savedRowsMissing = 0;
    int statesLost = 0;
    int changesLost = 0;
    int marksLost = 0;
    int deletedRowsBack = 0;
    int rowsOfNoSave = 0;
    // The questions and signatures: a message written and not found, a row changed or gone
    // under a signature in force, a signature written and not found.
    int messagesLost = 0;
    int signedRowsChanged = 0;
    int signaturesLost = 0;
    int signaturesAtEnd = 0;
    // One line per violation found, naming the row.
    QStringList notes;

private:
    void checkRows(const StressSnapshot &snapshot);
    void checkSaves();
    bool checkReview(QSqlDatabase db, const StressSnapshot &snapshot, QString *error);
    QList<const StressJournal::Row *> chain(const QString &token) const;
    void note(const QString &what, const QString &origin, const QString &detail);

    QList<StressJournal::Row> rows;
    QHash<QString, const StressJournal::Row *> byToken;
    QHash<QString, QStringList> details;
    QHash<QString, QList<const StressJournal::Row *>> deletions;
    // The tokens on each remaining row's chain, by origin (the first row of that origin).
    QHash<QString, QSet<QString>> chains;
};
