#pragma once

#include <QFile>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

// One worker's account of what it did, a line per row of every save and per event, written
// as it goes: what the program reported saved ("saved") and what it reported failed ("failed").
class StressJournal
{
public:
    // A row as one save call left it. kind: "new", "change" or "delete". origin names the row
    // for good (ids are handed out again after a deletion), token is the value this save wrote
    // into its token column and base the one it had when it was loaded (empty for a new row).
    struct Row
    {
        QString result;
        QString kind;
        QString origin;
        QString base;
        QString token;
        QString states; // statesText() of the row as saved
        bool marked = false;
        int user = 0;
    };

    explicit StressJournal(const QString &path);
    bool open(QString *error);
    void write(const Row &row);
    // An event: "save ok", "save failed", "load failed", "login", "retry" ...
    void event(const QString &name, const QString &detail = QString());

    // Reads a journal: its rows, how often each event occurred and, when asked, the details
    // of each event by its name.
    static bool read(const QString &path, QList<Row> *rows, QHash<QString, int> *events,
                     QString *error, QHash<QString, QStringList> *details = nullptr);
    // Field states as one comparable text: "name=state" of the non-zero states, by name.
    static QString statesText(const QMap<QString, int> &states);

private:
    void writeLine(const QStringList &fields);

    QFile file;
};
