#include "benchrunner.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTableView>
#include <QTextStream>
#include <algorithm>
#include <ctime>
#include <memory>
#include <unistd.h>

#include "benchdata.h"
#include "core/stavimor.h"
#include "core/usermanager.h"
#include "editor/extdelegate.h"
#include "editor/exttableeditor.h"
#include "editor/extxmlmodel.h"
#include "floor.h"
#include "model/extmetadata.h"
#include "model/extrecord.h"

namespace {
qint64 residentBytes()
{
    QFile statm("/proc/self/statm");
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE) : -1;
}

double elapsedMs(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

double processorMs()
{
    timespec time{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
    return time.tv_sec * 1e3 + time.tv_nsec / 1e6;
}

double middle(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

QList<Floor::Relation> benchRelations(const QStringList &columns)
{
    return {{int(columns.indexOf("centre_id")), "centres", "id", "name"},
            {int(columns.indexOf("sponsor_id")), "sponsors", "id", "name"}};
}

// The columns of the data table, from the floor's reading.
QStringList tableColumns(const QString &table)
{
    QSqlQuery query;
    query.exec("SELECT * FROM " + table + " LIMIT 0");
    QStringList columns;
    for (int i = 0; i < query.record().count(); ++i)
        columns << query.record().fieldName(i);
    return columns;
}

constexpr int changedRows = 1000;
} // namespace

BenchRunner::BenchRunner(const QString &schemaDir, int runs)
    : schemaDir(schemaDir)
    , runs(runs)
{}

QString BenchRunner::tableFor(int rows)
{
    return "items_" + QString::number(rows);
}

QString BenchRunner::schemaFor(int rows) const
{
    return schemaDir + "/" + tableFor(rows) + ".xml";
}

bool BenchRunner::prepare(const QList<int> &sizes, QString *error)
{
    if (!BenchData::createShared(error))
        return false;
    for (int rows : sizes) {
        if (!BenchData::createTable(tableFor(rows), rows, error))
            return false;
        if (BenchData::writeSchema(schemaDir, tableFor(rows)).isEmpty()) {
            *error = "cannot write the schema of " + tableFor(rows);
            return false;
        }
    }
    UserManager *users = Stavimor::instance()->userManager;
    users->setCurrentUser(UserManager::user(BenchData::benchUser));
    if (users->currentUser.value("id").toInt() != BenchData::benchUser) {
        *error = "the benchmark user cannot be read";
        return false;
    }
    return true;
}

bool BenchRunner::median(const std::function<bool(double *)> &work, double *ms,
                         QString *error) const
{
    QList<double> times;
    for (int i = 0; i < runs; ++i) {
        double time = 0;
        if (!work(&time))
            return false;
        times << time;
    }
    if (times.isEmpty()) {
        *error = "no runs";
        return false;
    }
    *ms = middle(times);
    return true;
}

bool BenchRunner::loadFigures(int rows, double *loadMs, double *bytesPerRow, QString *error)
{
    // The models of all runs stay alive until the end, so each run's growth is memory taken
    // afresh and not memory an earlier run gave back.
    std::vector<std::unique_ptr<ExtXmlModel>> models;
    QList<double> growth;
    const bool ok = median(
        [&](double *ms) {
            models.push_back(std::make_unique<ExtXmlModel>(schemaFor(rows)));
            ExtXmlModel &model = *models.back();
            const qint64 before = residentBytes();
            QElapsedTimer timer;
            timer.start();
            const bool loaded = model.load();
            *ms = elapsedMs(timer);
            growth << double(residentBytes() - before) / rows;
            if (!loaded || model.rowCount() != rows) {
                *error = QString("load of %1 gave %2 rows").arg(rows).arg(model.rowCount());
                return false;
            }
            return true;
        },
        loadMs, error);
    if (!ok)
        return false;
    std::sort(growth.begin(), growth.end());
    *bytesPerRow = growth.at(growth.size() / 2);
    return true;
}

bool BenchRunner::floorLoad(int rows, double *ms, QString *error)
{
    return median(
        [&](double *time) {
            Floor::Table table;
            QElapsedTimer timer;
            timer.start();
            const bool ok =
                Floor::load(tableFor(rows), BenchData::benchUser,
                            benchRelations(tableColumns(tableFor(rows))), &table, error);
            *time = elapsedMs(timer);
            if (ok && table.rows.size() != rows) {
                *error = QString("floor load of %1 gave %2 rows").arg(rows).arg(table.rows.size());
                return false;
            }
            return ok;
        },
        ms, error);
}

bool BenchRunner::referenceLoad(int rows, double *ms, QString *error)
{
    return median(
        [&](double *time) {
            ExtXmlModel model(schemaFor(rows));
            QList<ExtRecord *> loaded;
            QElapsedTimer timer;
            timer.start();
            model.setTable(tableFor(rows));
            model.parseXml();
            const QString userId = QString::number(BenchData::benchUser);
            const bool relations = model.columnRecord.hasCompleteRelation();
            QSqlQuery query;
            query.setForwardOnly(true);
            query.exec(model.query);
            while (query.next()) {
                auto *row = new ExtRecord(model.columnRecord);
                row->setValues(query.record());
                ExtMetadata::readRecord(*row, model.tableName, userId, model.columnRecord);
                if (relations)
                    ExtMetadata::resolveRelations(*row);
                model.setMessage(QObject::tr("loading ") + QString::number(loaded.size()));
                loaded << row;
            }
            model.setMessage(QObject::tr("loading finish"));
            *time = elapsedMs(timer);
            const int count = loaded.size();
            qDeleteAll(loaded);
            if (count != rows) {
                *error = QString("reference load of %1 gave %2 rows").arg(rows).arg(count);
                return false;
            }
            return true;
        },
        ms, error);
}

bool BenchRunner::editor(int rows, bool states, double *ms, QString *error)
{
    return median(
        [&](double *time) {
            ExtTableEditor window(schemaFor(rows));
            window.resize(1024, 768);
            auto *view = window.findChild<QTableView *>("tableView");
            // Through the delegate, not the action, which would store the choice.
            if (auto *delegate = qobject_cast<ExtDelegate *>(view->itemDelegate()))
                delegate->setStatesShown(states);
            window.show();
            QApplication::processEvents();
            QElapsedTimer timer;
            timer.start();
            window.refresh();
            // The posted layout and paint requests: the view shows its first rows.
            QApplication::processEvents();
            QApplication::processEvents();
            *time = elapsedMs(timer);
            if (!view || view->model()->rowCount() != rows || view->rowAt(0) != 0) {
                *error = QString("the editor of %1 rows shows none").arg(rows);
                return false;
            }
            return true;
        },
        ms, error);
}

bool BenchRunner::save(int rows, SaveFigures *figures, QString *error)
{
    QList<double> reloads;
    QList<double> cpus;
    const QString table = tableFor(rows);
    ExtXmlModel model(schemaFor(rows));
    if (!model.load() || model.rowCount() != rows) {
        *error = "the model to save cannot be loaded";
        return false;
    }
    const QStringList states = BenchData::stateFields();
    const int step = rows / changedRows;
    const int nameField = model.columnRecord.indexOf("name");
    const int amountField = model.columnRecord.indexOf("amount");
    int run = 0;
    // Values and states differ from run to run, so every run really changes the rows.
    auto stateOf = [&](int i, int k) { return (run + i + k) % 3 - 1; };

    const bool saved = median(
        [&](double *time) {
            ++run;
            for (int i = 0; i < changedRows; ++i) {
                const int row = i * step;
                model.setData(model.index(row, nameField + 2),
                              QString("Changed %1 %2").arg(run).arg(i));
                model.setData(model.index(row, amountField + 2), run * 10000 + i);
                for (int k = 0; k < states.size(); ++k)
                    model.setState(row, model.columnRecord.indexOf(states.at(k)), stateOf(i, k));
            }
            QElapsedTimer timer;
            // The writes end where save() reports them complete and starts its reload.
            double writes = -1;
            double cpu = 0;
            const QMetaObject::Connection done =
                QObject::connect(&model, &ExtModel::messageChanged, [&](const QString &text) {
                    if (text == QObject::tr("Save compete")) {
                        writes = elapsedMs(timer);
                        cpu += processorMs();
                    }
                });
            cpu = -processorMs();
            timer.start();
            const bool ok = model.save();
            reloads << elapsedMs(timer) - writes;
            cpus << cpu;
            *time = writes;
            QObject::disconnect(done);
            if (!ok || writes < 0 || model.rowCount() != rows) {
                *error = "save failed: " + model.message;
                return false;
            }
            return true;
        },
        &figures->writes, error);
    if (!saved)
        return false;
    figures->reload = middle(reloads);
    figures->clientCpu = middle(cpus);

    QVector<qlonglong> ids;
    for (int i = 0; i < changedRows; ++i)
        ids << model.records.at(i * step)->value("id").toLongLong();
    const bool committed = median(
        [&](double *time) {
            QElapsedTimer timer;
            timer.start();
            const bool ok = Floor::commits(table, ids, error);
            *time = elapsedMs(timer);
            return ok;
        },
        &figures->commits, error);
    if (!committed)
        return false;

    return median(
        [&](double *time) {
            ++run;
            Floor::Table loaded;
            if (!Floor::load(table, BenchData::benchUser, benchRelations(tableColumns(table)),
                             &loaded, error))
                return false;
            QVector<Floor::Row> changed;
            const int name = loaded.columns.indexOf("name");
            const int amount = loaded.columns.indexOf("amount");
            for (int i = 0; i < changedRows; ++i) {
                Floor::Row row = loaded.rows.at(i * step);
                row.values[name] = QString("Changed %1 %2").arg(run).arg(i);
                row.values[amount] = run * 10000 + i;
                row.states.clear();
                for (int k = 0; k < states.size(); ++k)
                    row.states << qMakePair(int(loaded.columns.indexOf(states.at(k))),
                                            stateOf(i, k));
                changed << row;
            }
            QElapsedTimer timer;
            timer.start();
            const bool ok =
                Floor::save(table, BenchData::benchUser, loaded.columns, changed, error);
            *time = elapsedMs(timer);
            return ok;
        },
        &figures->floor, error);
}

void BenchRunner::figure(const QString &name, double value, const QString &unit)
{
    figureLines << name + " " + QString::number(value, 'f', 1) + " " + unit;
}

void BenchRunner::ratio(const QString &name, double value)
{
    ratioLines << "ratio " + name + " " + QString::number(value, 'f', 2);
}

bool BenchRunner::run(int rows, const QList<int> &scaleSizes, QString *error)
{
    double load = 0, memory = 0, floor = 0, reference = 0, editorMs = 0, statesMs = 0;
    SaveFigures saved;
    if (!floorLoad(rows, &floor, error) || !loadFigures(rows, &load, &memory, error) ||
        !referenceLoad(rows, &reference, error) || !editor(rows, false, &editorMs, error) ||
        !editor(rows, true, &statesMs, error))
        return false;
    QList<double> perRow;
    for (int size : scaleSizes) {
        double ms = load;
        double unused = 0;
        if (size != rows && !loadFigures(size, &ms, &unused, error))
            return false;
        perRow << ms * 1000.0 / size;
    }
    if (!save(rows, &saved, error))
        return false;

    figure("load", load, "ms");
    figure("load_floor", floor, "ms");
    figure("load_reference", reference, "ms");
    figure("save", saved.writes, "ms");
    figure("save_reload", saved.reload, "ms");
    figure("save_client_cpu", saved.clientCpu, "ms");
    figure("save_floor", saved.floor, "ms");
    figure("save_commits", saved.commits, "ms");
    figure("editor", editorMs, "ms");
    figure("editor_states", statesMs, "ms");
    figure("memory", memory, "bytes/row");
    for (int i = 0; i < scaleSizes.size(); ++i)
        figure("scaling_" + QString::number(scaleSizes.at(i)), perRow.at(i), "us/row");
    ratio("load", load / floor);
    ratio("load_reference", reference / floor);
    ratio("save", saved.writes / saved.floor);
    ratio("editor", editorMs / load);
    ratio("editor_states", statesMs / editorMs);
    ratio("scaling", perRow.last() / perRow.first());
    return true;
}

void BenchRunner::print() const
{
    QTextStream out(stdout);
    for (const QString &line : figureLines + ratioLines)
        out << line << "\n";
    out << "bench done\n";
}
