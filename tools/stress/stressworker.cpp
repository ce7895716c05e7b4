#include "stressworker.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QLoggingCategory>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>
#include <QThread>

#include "core/stavimor.h"
#include "core/usermanager.h"
#include "db/connectionsettings.h"
#include "editor/extxmlmodel.h"
#include "model/extfieldqueries.h"
#include "model/extrecord.h"
#include "model/extsignatures.h"

namespace {
int retryLines = 0;
int refusalLines = 0;
int signedLines = 0;

void messageHandler(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg || type == QtInfoMsg) {
        if (message.startsWith("retrying "))
            ++retryLines;
        else if (message.endsWith(" was changed or deleted elsewhere since it was read"))
            ++refusalLines;
        else if (message.contains(" is signed by "))
            ++signedLines;
        return;
    }
    QTextStream(stderr) << message << "\n";
}

const QStringList reviewedFields = {"name", "amount", "note", "due"};
} // namespace

void StressWorker::installMessageHandler()
{
    // The store's debug lines are what the worker counts.
    QLoggingCategory::setFilterRules("stavimor.sql.debug=true");
    qInstallMessageHandler(messageHandler);
}

StressWorker::StressWorker(const StressConfig &config)
    : config(config)
    , journal(config.journalPath(config.worker))
    , random(config.seed * 7919u + quint32(config.worker))
    , node(config.firstNode(config.worker))
{}

bool StressWorker::login(QString *error)
{
    {
        QSqlDatabase old = QSqlDatabase::database(QSqlDatabase::defaultConnection, false);
        if (old.isValid())
            old.close();
    }
    QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
    ConnectionSettings settings;
    settings.driver = "QMYSQL";
    settings.host = config.nodes.at(node).first;
    settings.port = config.nodes.at(node).second;
    settings.databaseName = config.database;
    settings.login = config.user;
    settings.password = config.password;
    QSqlDatabase db = settings.addDefaultDatabase();
    if (!db.open()) {
        *error = db.lastError().text();
        return false;
    }
    const QString hash =
        QCryptographicHash::hash(StressConfig::userPassword(config.worker).toUtf8(),
                                 QCryptographicHash::Md5)
            .toHex();
    const QSqlRecord user = UserManager::login(StressConfig::userName(config.worker), hash);
    if (user.isEmpty()) {
        *error = "login refused for " + StressConfig::userName(config.worker);
        return false;
    }
    UserManager *manager = Stavimor::instance()->userManager;
    manager->setCurrentUser(user);
    userId = user.value("id").toInt();
    groupId = manager->userGroups.isEmpty() ? 0 : manager->userGroups.first().value("id").toInt();
    journal.event("login", settings.host + ":" + QString::number(settings.port));
    return true;
}

bool StressWorker::loginAgain()
{
    QDeadlineTimer deadline(120 * 1000);
    QString error;
    while (!deadline.hasExpired()) {
        for (int attempt = 0; attempt < config.nodes.size(); ++attempt) {
            node = (node + 1) % config.nodes.size();
            if (login(&error))
                return true;
        }
        QThread::msleep(500);
    }
    QTextStream(stderr) << "worker " << config.worker + 1 << ": cannot log in again: " << error
                        << "\n";
    return false;
}

bool StressWorker::connectionAlive()
{
    QSqlQuery query;
    return query.exec("SELECT 1") && query.next();
}

QString StressWorker::newToken()
{
    return QString("w%1-%2-%3").arg(config.worker + 1).arg(iteration).arg(++tokens);
}

int StressWorker::pickRow(int rowCount)
{
    // Half of the picks go to the first rows, so that workstations often meet on one row.
    const int hot = qMin(rowCount, 12);
    return random.bounded(2) ? random.bounded(hot) : random.bounded(rowCount);
}

void StressWorker::setField(ExtXmlModel &model, int row, const QString &field,
                            const QVariant &value)
{
    model.setData(model.index(row, model.columnRecord.indexOf(field) + 2), value);
}

void StressWorker::changeState(ExtXmlModel &model, int row)
{
    static const int codes[] = {-1, 0, 1};
    const QString field = reviewedFields.at(random.bounded(int(reviewedFields.size())));
    model.setState(row, model.columnRecord.indexOf(field), codes[random.bounded(3)]);
}

QString StressWorker::statesText(const ExtRecord &record)
{
    QMap<QString, int> states;
    for (auto it = record.states.cbegin(); it != record.states.cend(); ++it) {
        if (it.key() >= 0 && it.key() < record.count())
            states.insert(record.fieldName(it.key()), it.value());
    }
    return StressJournal::statesText(states);
}

QList<StressWorker::Pending> StressWorker::changeRows(ExtXmlModel &model)
{
    QList<Pending> pending;
    const int loaded = model.rowCount();
    QSet<int> touched;
    const int changes = loaded > 0 ? 1 + random.bounded(3) : 0;
    for (int c = 0; c < changes; ++c) {
        const int row = pickRow(loaded);
        // A signed row takes no change in the editor.
        if (touched.contains(row) || model.signature(row))
            continue;
        touched.insert(row);
        ExtRecord *record = model.records.at(row);
        Pending change;
        change.record = record;
        change.row.kind = "change";
        change.row.origin = record->value("origin").toString();
        change.row.base = record->value("token").toString();
        change.row.token = newToken();
        setField(model, row, "token", change.row.token);
        setField(model, row, "last_user", userId);
        if (random.bounded(10) < 6)
            setField(model, row, "amount", random.bounded(100000));
        if (random.bounded(10) < 4)
            setField(model, row, "note", "changed by " + change.row.token);
        if (random.bounded(10) < 6)
            changeState(model, row);
        if (random.bounded(10) < 2)
            changeState(model, row);
        if (random.bounded(4) == 0)
            model.toggleMark(row);
        pending << change;
    }

    model.insertRecord(-1);
    const int added = model.rowCount() - 1;
    Pending creation;
    creation.record = model.records.at(added);
    creation.row.kind = "new";
    creation.row.token = creation.row.origin = newToken();
    setField(model, added, "group_id", random.bounded(2) ? groupId : 0);
    setField(model, added, "origin", creation.row.origin);
    setField(model, added, "token", creation.row.token);
    setField(model, added, "creator", userId);
    setField(model, added, "last_user", userId);
    setField(model, added, "name", "Row of " + creation.row.origin);
    setField(model, added, "amount", random.bounded(1000));
    setField(model, added, "due", QDate(2025, 1, 1).addDays(random.bounded(365)));
    if (random.bounded(2))
        changeState(model, added);
    if (random.bounded(5) == 0)
        model.toggleMark(added);
    pending << creation;

    // One of its own earlier rows, now and then, that this save does not change as well.
    QList<int> own;
    for (int row = 0; row < loaded; ++row) {
        if (!touched.contains(row) && !model.signature(row) &&
            model.records.at(row)->value("creator").toInt() == userId)
            own << row;
    }
    if (!own.isEmpty() && random.bounded(2)) {
        const int row = own.at(random.bounded(int(own.size())));
        ExtRecord *record = model.records.at(row);
        Pending deletion;
        deletion.record = record;
        deletion.row.kind = "delete";
        deletion.row.origin = record->value("origin").toString();
        deletion.row.base = record->value("token").toString();
        model.removeRecord(row);
        pending << deletion;
    }

    for (Pending &entry : pending) {
        entry.row.user = userId;
        entry.row.states = statesText(*entry.record);
        entry.row.marked = entry.record->marked;
    }
    return pending;
}

void StressWorker::reviewStep(ExtXmlModel &model)
{
    if (!model.keepsReview() || model.rowCount() == 0)
        return;
    const ExtRecord *record = model.records.at(pickRow(model.rowCount()));
    ExtFieldQueries questions(model.tableName, userId);
    const QList<ExtFieldQuery> asked = questions.ofRow(record->value("id"));
    const QString text = "message " + newToken();
    bool written = false;
    if (asked.isEmpty() || random.bounded(4) == 0) {
        written =
            questions.open(record->value("id"),
                           reviewedFields.at(random.bounded(int(reviewedFields.size()))), text);
    } else {
        // As an administrator: any workstation closes and reopens.
        const ExtFieldQuery &question = asked.at(random.bounded(int(asked.size())));
        if (question.status == "closed" || random.bounded(5) == 0)
            questions.setClosed(question, question.status != "closed", true);
        else
            written = questions.answer(question, text);
    }
    if (written)
        journal.event("message", text);

    ExtSignatures signatures(model.tableName, userId);
    const int signedRow = pickRow(model.rowCount());
    // Any row, fully reviewed or not: the store's refusal is what is under test.
    if (random.bounded(6) == 0 && !model.signature(signedRow) &&
        signatures.sign({model.records.at(signedRow)}, "reviewed"))
        journal.event("signed", model.records.at(signedRow)->value("id").toString() + " " +
                                    model.records.at(signedRow)->value("token").toString());
    for (int row = 0; row < model.rowCount(); ++row) {
        const ExtSignature *own = model.signature(row);
        if (!own || own->userId.toInt() != userId || random.bounded(2))
            continue;
        if (signatures.withdraw(*own, "stress", false))
            journal.event("withdrawn", own->tableId.toString());
        break;
    }
}

void StressWorker::journalSave(ExtXmlModel &model, QList<Pending> &pending, bool saved)
{
    for (Pending &entry : pending) {
        // After a failed save the rows stay in memory: a row the save wrote is no longer
        // dirty, a deleted one is gone, the others are still pending.
        bool done = saved;
        if (!saved) {
            const bool present = model.records.contains(entry.record);
            done = entry.row.kind == "delete" ? !present : present && !entry.record->dirty;
        }
        entry.row.result = done ? "saved" : "failed";
        journal.write(entry.row);
    }
}

int StressWorker::run()
{
    QString error;
    if (!journal.open(&error)) {
        QTextStream(stderr) << "worker " << config.worker + 1 << ": " << error << "\n";
        return 1;
    }
    // A workstation whose server is down logs in to another one.
    if (!login(&error)) {
        journal.event("login failed", error);
        if (!loginAgain())
            return 1;
    }
    ExtXmlModel model(config.schemaPath());
    for (iteration = 1; iteration <= config.iterations; ++iteration) {
        // A load on a lost connection finds no rows without saying so: the connection is
        // asked as well.
        if (!model.load() || model.columnRecord.isEmpty() || !connectionAlive()) {
            journal.event("load failed", QSqlDatabase::database().lastError().text());
            if (!loginAgain())
                return 1;
            continue;
        }
        reviewStep(model);
        QList<Pending> pending = changeRows(model);
        retryLines = 0;
        refusalLines = 0;
        signedLines = 0;
        const bool saved = model.save();
        for (int i = 0; i < retryLines; ++i)
            journal.event("retry");
        for (int i = 0; i < refusalLines; ++i)
            journal.event("changed elsewhere");
        for (int i = 0; i < signedLines; ++i)
            journal.event("signed elsewhere");
        journalSave(model, pending, saved);
        journal.event(saved ? "save ok" : "save failed", model.message);
        if (!saved && !connectionAlive() && !loginAgain())
            return 1;
    }
    return 0;
}
