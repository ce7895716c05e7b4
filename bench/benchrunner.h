#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>

// Times the program's loading, saving and table editor against the floor, each figure the
// median of a few runs in this process, and prints the figures and their ratios.
class BenchRunner
{
public:
    BenchRunner(const QString &schemaDir, int runs);

    bool prepare(const QList<int> &sizes, QString *error);
    // False when a figure could not be taken; error says which and why.
    bool run(int rows, const QList<int> &scaleSizes, QString *error);
    void print() const;

private:
    static QString tableFor(int rows);
    QString schemaFor(int rows) const;
    // Median milliseconds of runs calls of work, which returns false when it failed.
    bool median(const std::function<bool(double *ms)> &work, double *ms, QString *error) const;
    bool loadFigures(int rows, double *loadMs, double *bytesPerRow, QString *error);
    bool floorLoad(int rows, double *ms, QString *error);
    bool referenceLoad(int rows, double *ms, QString *error);
    // With states, each field's review state is drawn in the grid.
    bool editor(int rows, bool states, double *ms, QString *error);
    struct SaveFigures
    {
        double writes = 0; // save() up to its reload
        double reload = 0;
        double clientCpu = 0; // this process's processor time during the writes
        double commits = 0;   // one bare transaction per changed row
        double floor = 0;
    };
    bool save(int rows, SaveFigures *figures, QString *error);
    void figure(const QString &name, double value, const QString &unit);
    void ratio(const QString &name, double value);

    QString schemaDir;
    int runs;
    QStringList figureLines;
    QStringList ratioLines;
};
