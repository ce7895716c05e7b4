#include "stresscheck.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include "stressconfig.h"
#include "stresssetup.h"
#include "stresssnapshot.h"

bool StressCheck::run(const StressConfig &config, QSqlDatabase db, QString *error)
{
    // On a cluster node the reads wait until what the cluster committed is applied there; a
    // single server has nothing to wait for.
    QSqlQuery(db).exec("SET SESSION wsrep_sync_wait = 1");
    QStringList journals = {config.setupJournalPath()};
    for (int i = 0; i < config.workers; ++i)
        journals << config.journalPath(i);
    for (const QString &path : journals)
        if (!StressJournal::read(path, &rows, &events, error, &details))
            return false;
    const int setupRows = StressSetup::initialRows;
    for (int i = 0; i < rows.size(); ++i) {
        const StressJournal::Row &row = std::as_const(rows).at(i);
        if (row.kind == "delete") {
            deletions[row.origin] << &row;
            if (row.result == "saved")
                ++rowsDeleted;
            continue;
        }
        byToken.insert(row.token, &row);
        // The rows of the start are journalled as saved too, but no worker saved them.
        if (i < setupRows)
            continue;
        if (row.result == "saved")
            ++rowsSaved;
        else
            ++rowsFailed;
    }

    StressSnapshot snapshot;
    if (!snapshot.read(db, error))
        return false;
    rowsAtEnd = snapshot.rows.size();
    metaOfNoRow = snapshot.metaOfNoRow;
    detachedMeta = snapshot.detachedMetaRows;
    checkRows(snapshot);
    checkSaves();
    return checkReview(db, snapshot, error);
}

bool StressCheck::checkReview(QSqlDatabase db, const StressSnapshot &snapshot, QString *error)
{
    // A database without the questions' and signatures' tables had none written.
    if (!db.tables().contains("ext_records_signatures"))
        return true;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    QSet<QString> texts;
    if (!query.exec("SELECT text FROM ext_records_query_messages")) {
        *error = query.lastError().text();
        return false;
    }
    while (query.next())
        texts.insert(query.value(0).toString());
    for (const QString &text : details.value("message")) {
        if (!texts.contains(text)) {
            ++messagesLost;
            note("message lost", QString(), text);
        }
    }
    // A signature in force holds its row at the token it was signed with ("id token").
    QHash<qlonglong, QString> tokens;
    for (const StressSnapshot::DataRow &data : snapshot.rows)
        tokens.insert(data.id, data.token);
    const QStringList signings = details.value("signed");
    if (!query.exec("SELECT table_id, withdrawn IS NULL FROM ext_records_signatures")) {
        *error = query.lastError().text();
        return false;
    }
    while (query.next()) {
        ++signaturesAtEnd;
        const qlonglong id = query.value(0).toLongLong();
        if (query.value(1).toInt() == 1 &&
            (!tokens.contains(id) ||
             !signings.contains(QString::number(id) + " " + tokens.value(id)))) {
            ++signedRowsChanged;
            note("signed row changed", QString(), QString("id %1").arg(id));
        }
    }
    signaturesLost = qMax(0, int(signings.size()) - signaturesAtEnd);
    return true;
}

void StressCheck::note(const QString &what, const QString &origin, const QString &detail)
{
    notes << what + ": row " + origin + ", " + detail;
}

QList<const StressJournal::Row *> StressCheck::chain(const QString &token) const
{
    QList<const StressJournal::Row *> links;
    QSet<QString> seen;
    for (QString at = token; !at.isEmpty() && !seen.contains(at);) {
        seen.insert(at);
        const StressJournal::Row *row = byToken.value(at);
        if (!row)
            break;
        links << row;
        at = row->base;
    }
    return links;
}

void StressCheck::checkRows(const StressSnapshot &snapshot)
{
    QSet<QString> origins;
    for (const StressSnapshot::DataRow &data : snapshot.rows) {
        if (origins.contains(data.origin)) {
            ++duplicateRows;
            note("duplicate row", data.origin, QString("id %1").arg(data.id));
            continue;
        }
        origins.insert(data.origin);
        const QList<StressSnapshot::Meta> metas = snapshot.meta.value(data.id);
        if (metas.size() > 1)
            ++rowsWithTwoMeta;
        const QList<const StressJournal::Row *> links = chain(data.token);
        QSet<QString> &tokens = chains[data.origin];
        for (const StressJournal::Row *link : links) {
            tokens.insert(link->token);
            if (link->result != "saved")
                ++failedButWritten;
        }
        if (links.isEmpty()) {
            ++rowsOfNoSave;
            note("row of no save", data.origin, "token " + data.token);
            continue;
        }
        if (metas.isEmpty()) {
            ++rowsWithoutMeta;
            note("row without metadata", data.origin, QString("id %1").arg(data.id));
            continue;
        }
        const StressJournal::Row &last = *links.first();
        const StressSnapshot::Meta &meta = metas.first();
        bool foreign = meta.createdUser != data.creator || meta.modifiedUser != data.lastUser ||
                       meta.modifiedUser != last.user;

        // The states the last save wrote must all be there, and no others.
        QMap<QString, int> expected;
        for (const QString &part : last.states.split(',', Qt::SkipEmptyParts))
            expected.insert(part.section('=', 0, 0), part.section('=', 1).toInt());
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            if (meta.states.value(it.key(), 0) != it.value()) {
                ++statesLost;
                note("field state lost", data.origin,
                     "last save " + last.token + " wrote " + last.states + ", the database holds " +
                         StressJournal::statesText(meta.states));
                break;
            }
        }
        for (auto it = meta.states.cbegin(); it != meta.states.cend(); ++it)
            foreign = foreign || (it.value() != 0 && !expected.contains(it.key()));

        // Each user's mark is as that user's latest save on the chain left it: a save writes
        // its own user's mark and carries the others' along.
        QHash<int, bool> marks;
        for (const StressJournal::Row *link : links) {
            if (!marks.contains(link->user))
                marks.insert(link->user, link->marked);
        }
        QSet<int> users = meta.markedBy;
        for (auto it = marks.cbegin(); it != marks.cend(); ++it)
            users.insert(it.key());
        for (const int user : std::as_const(users)) {
            const bool expectedMark = marks.value(user, false);
            if (expectedMark == meta.markedBy.contains(user))
                continue;
            if (!expectedMark) {
                foreign = true;
            } else if (user == last.user) {
                ++marksLost;
                note("mark lost", data.origin, "last save " + last.token);
            } else {
                ++marksRemovedByOthers;
                note("mark removed by another user's save", data.origin,
                     QString("user %1, last save %2").arg(user).arg(last.token));
            }
        }
        if (foreign) {
            ++metaOfAnotherRow;
            note("metadata of another row", data.origin,
                 QString("id %1, last save %2").arg(data.id).arg(last.token));
        }
    }
}

void StressCheck::checkSaves()
{
    QSet<QString> missing;
    for (const StressJournal::Row &row : std::as_const(rows)) {
        if (row.result != "saved")
            continue;
        const bool present = chains.contains(row.origin);
        if (row.kind == "delete") {
            if (present) {
                ++deletedRowsBack;
                note("deleted row back", row.origin, "deleted from " + row.base);
            }
            continue;
        }
        if (!present) {
            // A row reported saved may only be gone when its deletion was asked for.
            if (!deletions.contains(row.origin) && !missing.contains(row.origin)) {
                missing.insert(row.origin);
                note("saved row missing", row.origin, "saved as " + row.token);
            }
            continue;
        }
        if (chains.value(row.origin).contains(row.token))
            continue;
        const StressJournal::Row *base = byToken.value(row.base);
        const bool stateChanged = row.states != (base ? base->states : QString());
        ++(stateChanged ? statesLost : changesLost);
        note(stateChanged ? "field state lost" : "saved change lost", row.origin,
             "save " + row.token + " from " + row.base + " is not on the row's chain");
    }
    savedRowsMissing = missing.size();
}

QList<QPair<QString, int>> StressCheck::figures() const
{
    return {
        {"saves done", events.value("save ok")},
        {"saves reported failed", events.value("save failed")},
        {"rows saved", rowsSaved},
        {"rows reported failed", rowsFailed},
        {"rows deleted", rowsDeleted},
        {"conflicts retried", events.value("retry")},
        {"rows refused as changed elsewhere", events.value("changed elsewhere")},
        {"rows refused as signed since loaded", events.value("signed elsewhere")},
        {"loads failed", events.value("load failed")},
        {"logins", events.value("login")},
        {"logins failed", events.value("login failed")},
        {"rows at the end", rowsAtEnd},
        {"rows written by a save reported failed", failedButWritten},
        {"question messages written", int(details.value("message").size())},
        {"rows signed", int(details.value("signed").size())},
        {"signatures withdrawn", int(details.value("withdrawn").size())},
        {"signatures at the end", signaturesAtEnd},
        {"violation: metadata of no row", metaOfNoRow},
        {"violation: metadata rows of no ext_records row", detachedMeta},
        {"violation: rows with two metadata rows", rowsWithTwoMeta},
        {"violation: rows without metadata", rowsWithoutMeta},
        {"violation: metadata of another row", metaOfAnotherRow},
        {"violation: duplicate rows", duplicateRows},
        {"violation: rows of no save", rowsOfNoSave},
        {"violation: saved rows missing", savedRowsMissing},
        {"violation: deleted rows back", deletedRowsBack},
        {"violation: field states lost", statesLost},
        {"violation: saved changes lost", changesLost},
        {"violation: marks lost", marksLost},
        {"violation: marks removed by another user's save", marksRemovedByOthers},
        {"violation: question messages lost", messagesLost},
        {"violation: signed rows changed", signedRowsChanged},
        {"violation: signatures lost", signaturesLost},
    };
}

int StressCheck::violations() const
{
    int total = 0;
    for (const auto &[name, value] : figures())
        if (name.startsWith("violation: "))
            total += value;
    return total;
}
