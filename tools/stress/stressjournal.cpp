#include "stressjournal.h"

#include <QStringList>
#include <QTextStream>

StressJournal::StressJournal(const QString &path)
    : file(path)
{}

bool StressJournal::open(QString *error)
{
    if (file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return true;
    *error = "cannot write " + file.fileName() + ": " + file.errorString();
    return false;
}

void StressJournal::writeLine(const QStringList &fields)
{
    // Flushed line by line: a worker that dies leaves an account up to its last save.
    file.write((fields.join('\t') + '\n').toUtf8());
    file.flush();
}

void StressJournal::write(const Row &row)
{
    writeLine({"row", row.result, row.kind, row.origin, row.base, row.token, row.states,
               row.marked ? "1" : "0", QString::number(row.user)});
}

void StressJournal::event(const QString &name, const QString &detail)
{
    writeLine({"event", name, QString(detail).replace('\t', ' ').replace('\n', ' ')});
}

bool StressJournal::read(const QString &path, QList<Row> *rows, QHash<QString, int> *events,
                         QString *error, QHash<QString, QStringList> *details)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = "cannot read " + path + ": " + in.errorString();
        return false;
    }
    int number = 0;
    while (!in.atEnd()) {
        ++number;
        QString line = QString::fromUtf8(in.readLine());
        if (line.endsWith('\n'))
            line.chop(1);
        const QStringList fields = line.split('\t');
        if (fields.value(0) == "event" && fields.size() == 3) {
            (*events)[fields.at(1)]++;
            if (details)
                (*details)[fields.at(1)] << fields.at(2);
        } else if (fields.value(0) == "row" && fields.size() == 9) {
            Row row;
            row.result = fields.at(1);
            row.kind = fields.at(2);
            row.origin = fields.at(3);
            row.base = fields.at(4);
            row.token = fields.at(5);
            row.states = fields.at(6);
            row.marked = fields.at(7) == "1";
            row.user = fields.at(8).toInt();
            rows->append(row);
        } else {
            *error = QString("%1:%2: not a journal line").arg(path).arg(number);
            return false;
        }
    }
    return true;
}

QString StressJournal::statesText(const QMap<QString, int> &states)
{
    QStringList parts;
    for (auto it = states.cbegin(); it != states.cend(); ++it) {
        if (it.value() != 0)
            parts << it.key() + "=" + QString::number(it.value());
    }
    return parts.join(',');
}
