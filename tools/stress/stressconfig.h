#pragma once

#include <QPair>
#include <QString>
#include <QStringList>

class QCommandLineParser;

// What a run is told on its command line; the parent hands each worker the same values.
class StressConfig
{
public:
    // Adds the options to parser; fromParser() reads them back after process().
    static void addOptions(QCommandLineParser &parser);
    static StressConfig fromParser(const QCommandLineParser &parser, QString *error);
    // The command line of worker index (0 .. workers-1).
    QStringList workerArguments(int index) const;
    // The server worker index starts on: index % node count.
    int firstNode(int index) const { return nodes.isEmpty() ? 0 : index % nodes.size(); }
    QString journalPath(int index) const;
    QString setupJournalPath() const;
    QString schemaPath() const;

    static constexpr int maxWorkers = 16;
    static QString tableName() { return QStringLiteral("stress_rows"); }
    static QString userName(int index) { return QString("stress%1").arg(index + 1); }
    static QString userPassword(int index) { return QString("pw-%1").arg(index + 1); }

    int workers = 4;
    int iterations = 200;
    int worker = -1; // the index of this process, or -1 for the parent
    bool checkOnly = false;
    bool testServer = false;
    quint32 seed = 1;
    // Every server the workers may use; the first one also serves the parent.
    QList<QPair<QString, int>> nodes;
    QString user;
    QString password;
    QString database;
    QString workDir;
};
