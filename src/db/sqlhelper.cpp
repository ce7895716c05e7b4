#include "sqlhelper.h"

#include <algorithm>

#include <QDate>
#include <QDateTime>
#include <QDebug>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QTime>

#include "core/logcategories.h"

namespace {
QString plainText(const QVariant &value)
{
    // A null of a number type would otherwise read as "0".
    if (value.isNull())
        return QString();
    switch (value.metaType().id()) {
    case QMetaType::QDateTime:
        return value.toDateTime().toString("yyyy-MM-dd hh:mm:ss");
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate);
    case QMetaType::QTime:
        return value.toTime().toString("hh:mm:ss");
    case QMetaType::Bool:
        return value.toBool() ? "1" : "0";
    default:
        return value.toString();
    }
}

bool &connectionLost()
{
    static bool lost = false;
    return lost;
}

// Gives a failed statement's error to error, when given, and notes a lost connection; passes
// the outcome on.
bool report(const QSqlQuery &query, bool ok, QSqlError *error)
{
    if (ok)
        return true;
    const QSqlError failure = query.lastError();
    SqlHelper::noteLostConnection(failure);
    if (error)
        *error = failure;
    qCDebug(lcSql).noquote() << failure.text();
    return false;
}

// Every row of a read; false, with the server's error when asked for, when it failed.
bool readRows(const QString &statement, QList<QSqlRecord> *records, QSqlError *error = nullptr)
{
    QSqlQuery query;
    query.setForwardOnly(true);
    if (!report(query, query.exec(statement), error))
        return false;
    while (query.next())
        *records << query.record();
    return true;
}

// Every row of a read, empty when it failed.
QList<QSqlRecord> rows(const QString &statement, QSqlError *error)
{
    QList<QSqlRecord> records;
    readRows(statement, &records, error);
    return records;
}
} // namespace

SqlHelper::SqlHelper(const QString &table, QObject *parent)
    : QObject(parent)
    , table(table)
{}

bool SqlHelper::noteLostConnection(const QSqlError &error)
{
    const bool lost = meansLostConnection(error);
    if (lost)
        connectionLost() = true;
    return lost;
}

bool SqlHelper::meansLostConnection(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    return code == "2006" || code == "2013";
}

void SqlHelper::reopenIfLost()
{
    if (!connectionLost())
        return;
    QSqlDatabase db = QSqlDatabase::database(QSqlDatabase::defaultConnection, false);
    if (!db.isValid())
        return;
    db.close();
    if (!db.open()) {
        qCDebug(lcSql).noquote() << "cannot open the connection again: " + db.lastError().text();
        return;
    }
    qCDebug(lcSql).noquote() << "connection opened again";
    connectionLost() = false;
}

bool SqlHelper::idText(const QVariant &id, QString *text)
{
    bool ok = false;
    const qlonglong number = plainText(id).trimmed().toLongLong(&ok);
    *text = ok ? QString::number(number) : QString();
    return ok;
}

QString SqlHelper::escape(const QVariant &value)
{
    const QString text = plainText(value);
    QSqlDatabase db = QSqlDatabase::database(QSqlDatabase::defaultConnection, false);
    if (db.isValid() && db.driver()) {
        QSqlField field(QString(), QMetaType(QMetaType::QString));
        field.setValue(text);
        const QString quoted = db.driver()->formatValue(field);
        if (quoted.size() >= 2 && quoted.startsWith('\'') && quoted.endsWith('\''))
            return quoted.mid(1, quoted.size() - 2);
    }
    // No driver to ask: the same doubling of quotes and backslashes the MySQL driver does.
    return QString(text).replace("\\", "\\\\").replace("'", "''");
}

QString SqlHelper::identifier(const QString &name)
{
    static const QRegularExpression plain("^[A-Za-z_][A-Za-z0-9_$]*$");
    if (plain.match(name).hasMatch())
        return name;
    return "`" + QString(name).replace("`", "``") + "`";
}

QString SqlHelper::literal(const QVariant &value)
{
    if (value.isNull())
        return "NULL";
    // Bytes are no text: as text, those that are no UTF-8 would be replaced.
    if (value.metaType().id() == QMetaType::QByteArray)
        return "X'" + QString::fromLatin1(value.toByteArray().toHex()) + "'";
    return "'" + escape(value) + "'";
}

bool SqlHelper::tableExists(const QString &table)
{
    return QSqlDatabase::database().tables(QSql::Tables).contains(table, Qt::CaseSensitive);
}

bool SqlHelper::hasTables(const QStringList &tables, QSqlError *error)
{
    QStringList names;
    for (const QString &table : tables)
        names << literal(table);
    QSqlQuery query;
    if (!report(query,
                query.exec("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = "
                           "DATABASE() AND TABLE_NAME IN (" +
                           names.join(", ") + ")"),
                error))
        return false;
    return query.next() && query.value(0).toInt() == tables.size();
}

bool SqlHelper::hasRow(const QString &table, const QString &column, const QVariant &value,
                       bool *found, QSqlError *error)
{
    QSqlQuery query;
    query.setForwardOnly(true);
    if (!report(query,
                query.exec("SELECT 1 FROM " + identifier(table) + " WHERE " + identifier(column) +
                           "=" + literal(value) + " LIMIT 1"),
                error))
        return false;
    *found = query.next();
    return true;
}

int SqlHelper::lastId(const QString &table, QSqlError *error)
{
    int id = 0;
    largestId(table, &id, error);
    return id;
}

bool SqlHelper::largestId(const QString &table, int *id, QSqlError *error)
{
    QSqlQuery query;
    *id = 0;
    if (!report(query, query.exec("SELECT MAX(id) AS lastId FROM " + identifier(table)), error))
        return false;
    if (query.next())
        *id = query.value(0).toInt();
    return true;
}

QSqlRecord SqlHelper::emptyRecord(const QString &table, QSqlError *error)
{
    QSqlQuery query;
    query.setForwardOnly(true);
    report(query, query.exec("select * from " + identifier(table)), error);
    QSqlRecord record = query.record();
    record.clearValues();
    return record;
}

QSqlRecord SqlHelper::record(const QString &table, const QVariant &id, QSqlError *error)
{
    QSqlQuery query;
    report(query,
           query.exec("select * from " + identifier(table) + " WHERE id='" + escape(id) + "'"),
           error);
    if (query.next())
        return query.record();
    QSqlRecord record = query.record();
    record.clearValues();
    return record;
}

QList<QSqlRecord> SqlHelper::select(const QString &table, const QString &where, QSqlError *error)
{
    return rows("select * from " + identifier(table) + " WHERE " + where, error);
}

QList<QSqlRecord> SqlHelper::groups(QSqlError *error)
{
    return rows("select id, name from groups", error);
}

bool SqlHelper::account(const QString &username, const QString &passwordHash, QSqlRecord *user,
                        QSqlError *error)
{
    // Escaped, so a quote in the name cannot turn the lookup into a condition that finds someone.
    QSqlQuery query;
    *user = QSqlRecord();
    if (!report(query,
                query.exec("select * from users where username='" + escape(username) +
                           "' AND password='" + escape(passwordHash) + "'"),
                error))
        return false;
    if (query.next() && !query.value("id").isNull())
        *user = query.record();
    return true;
}

bool SqlHelper::userGroups(const QVariant &userId, QList<QSqlRecord> *groups, QSqlError *error)
{
    QString id;
    if (!idText(userId, &id))
        return true;
    return readRows(
        "select g.* from groups g, groups_users gu WHERE gu.group_id=g.id AND gu.user_id=" + id,
        groups, error);
}

bool SqlHelper::info(const QString &column, QVariant *value, QSqlError *error)
{
    QSqlQuery query;
    const bool ok = report(query, query.exec("SELECT " + column + " from infos"), error);
    query.seek(0);
    *value = query.record().value(column);
    return ok;
}

bool SqlHelper::contacts(int ownerId, QList<QSqlRecord> *users, QSqlError *error)
{
    const QString statement =
        "SELECT u.id,u.username, u.first_name, u.second_name,u.email FROM users u, "
        "contacts c  WHERE c.user_id='" +
        QString::number(ownerId) + "' AND c.contact_user_id=u.id";
    QSqlError failure;
    const bool ok = readRows(statement, users, &failure);
    qCDebug(lcApp) << statement << failure;
    if (error)
        *error = failure;
    return ok;
}

bool SqlHelper::addContact(int ownerId, const QVariant &contactId, QSqlError *error)
{
    QSqlError failure;
    QSqlRecord record = emptyRecord("contacts", &failure);
    if (failure.isValid()) {
        if (error)
            *error = failure;
        return false;
    }
    record.setValue("user_id", ownerId);
    record.setValue("contact_user_id", contactId);
    return save("contacts", record, nullptr, error);
}

bool SqlHelper::removeContact(int ownerId, const QVariant &contactId, QSqlError *error)
{
    return remove("contacts",
                  "contact_user_id=" + literal(contactId.toString()) +
                      " AND user_id=" + literal(QString::number(ownerId)),
                  error);
}

QString SqlHelper::membershipFilter(const QVariant &groupId)
{
    return "groups_users.group_id = '" + escape(groupId.toString()) + "'";
}

bool SqlHelper::relationChoices(const QSqlRelation &relation, QList<QSqlRecord> *choices,
                                QSqlError *error)
{
    // The names come from a schema file: quoted unless they are plain identifiers.
    return readRows("Select " + identifier(relation.indexColumn()) + "," +
                        identifier(relation.displayColumn()) + " FROM " +
                        identifier(relation.tableName()),
                    choices, error);
}

QString SqlHelper::relationStatement(const QSqlRelation &relation, const QVariant &key)
{
    // The key is escaped but still compared as quoted text, as the server compares it.
    return "select " + identifier(relation.displayColumn()) + " FROM " +
           identifier(relation.tableName()) + " WHERE " + identifier(relation.indexColumn()) +
           "='" + escape(key) + "'";
}

bool SqlHelper::relationDisplay(const QSqlRelation &relation, const QVariant &key,
                                QVariant *display, bool *found, QSqlError *error)
{
    const QString statement = relationStatement(relation, key);
    QSqlQuery query;
    const bool ok = report(query, query.exec(statement), error);
    const bool hasRow = ok && query.first();
    if (found)
        *found = hasRow;
    *display =
        !ok ? QVariant() : (hasRow ? query.value(0) : QVariant(query.record().field(0).metaType()));
    qCDebug(lcSql) << statement;
    return ok;
}

bool SqlHelper::idChoices(const QString &table, const QString &displayColumn,
                          QList<QSqlRecord> *choices, QSqlError *error)
{
    return readRows("SELECT id," + identifier(displayColumn) + " FROM " + identifier(table),
                    choices, error);
}

bool SqlHelper::insert(const QString &table, QSqlRecord &record, QSqlError *error)
{
    QList<QSqlRecord> records = {record};
    const bool ok = insert(table, records, error);
    record = records.first();
    return ok;
}

// The server's own counter never hands one id to two workstations, nor to two nodes of a
// cluster, and needs no statement of its own.
bool SqlHelper::leavesIdToServer(const QSqlRecord &record)
{
    return record.contains("id") && record.field("id").isAutoValue() && record.isNull("id");
}

QString SqlHelper::insertStatement(const QString &table, const QList<QSqlRecord> &records)
{
    const bool serverId = leavesIdToServer(records.value(0));
    const QSqlRecord &first = records.first();
    // A column no record generates is left out; a record that does not generate a column the
    // others write gives the server's default for it.
    QList<int> written;
    QString columns;
    for (int i = 0; i < first.count(); ++i) {
        if (serverId && first.fieldName(i) == "id")
            continue;
        if (std::any_of(records.cbegin(), records.cend(),
                        [i](const QSqlRecord &record) { return record.isGenerated(i); })) {
            written << i;
            columns += identifier(first.fieldName(i)) + ",";
        }
    }
    columns.chop(1);
    QStringList rows;
    for (const QSqlRecord &record : records) {
        QString values;
        // NULL stays NULL: a strict server refuses '' for numbers and dates.
        for (const int i : std::as_const(written))
            values +=
                (record.isGenerated(i) ? literal(record.value(i)) : QString("DEFAULT")) + " ,";
        values.chop(1);
        rows << "(" + values + ")";
    }
    return "INSERT INTO " + identifier(table) + "  (" + columns + ") VALUES " + rows.join(",");
}

bool SqlHelper::insert(const QString &table, QList<QSqlRecord> &records, QSqlError *error)
{
    if (records.isEmpty())
        return true;
    const bool hasId = records.first().contains("id");
    const bool serverId = leavesIdToServer(records.first());
    int attempted = 0;
    for (int attempt = 0;; ++attempt) {
        if (hasId && !serverId) {
            // Inside a transaction the maximum is read from its snapshot and can stay behind
            // the rows another workstation wrote since, so a retry also steps past the id that
            // collided.
            // A failed lookup fails the insert: inside a transaction it may mean the server
            // gave the transaction up, and a statement after that would stand on its own.
            int largest = 0;
            if (!largestId(table, &largest, error))
                return false;
            attempted = qMax(largest, attempted) + 1;
            for (int row = 0; row < records.size(); ++row) {
                records[row].setValue("id", attempted + row);
                records[row].setGenerated("id", true);
            }
        }
        const QString statement = insertStatement(table, records);
        qCDebug(lcSql).noquote() << statement;
        QSqlQuery query;
        const bool ok = query.exec(statement);
        if (ok && serverId && records.size() == 1)
            records.first().setValue("id", query.lastInsertId());
        // Two workstations can compute the same next id; the later one takes a fresh id.
        const QSqlError failure = query.lastError();
        const bool idTaken = !ok && hasId && !serverId && failure.nativeErrorCode() == "1062" &&
                             failure.databaseText().contains("'PRIMARY'");
        if (!idTaken || attempt + 1 >= maxInsertAttempts)
            return report(query, ok, error);
        qCDebug(lcSql).noquote() << failure.text();
    }
}

// Numbers stand bare, everything else escaped between quotes: the text the server shows for
// the same statement with bound values.
QString SqlHelper::updateStatement(const QString &table, const QSqlRecord &record)
{
    QStringList assignments;
    for (int i = 0; i < record.count(); ++i) {
        const QVariant value = record.value(i);
        QString text;
        switch (value.metaType().id()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::Float:
            text = value.isNull() ? QString("NULL") : value.toString();
            break;
        default:
            text = literal(value);
        }
        assignments << identifier(record.fieldName(i)) + "=" + text;
    }
    return "UPDATE " + identifier(table) + " SET " + assignments.join(",") + " WHERE id='" +
           escape(record.value("id")) + "'";
}

bool SqlHelper::update(const QString &table, const QSqlRecord &record, QSqlError *error)
{
    QSqlQuery query;
    return report(query, query.exec(updateStatement(table, record)), error);
}

bool SqlHelper::updateChanged(const QString &table, const QSqlRecord &values, const QSqlRecord &key,
                              QSqlError *error)
{
    QSqlQuery query;
    const QSqlDriver *driver = query.driver();
    const QString statement =
        driver->sqlStatement(QSqlDriver::UpdateStatement, table, values, false) + ' ' +
        driver->sqlStatement(QSqlDriver::WhereStatement, table, key, false);
    qCDebug(lcSql).noquote() << statement;
    return report(query, query.exec(statement), error);
}

bool SqlHelper::run(QSqlQuery &query, const QStringList &statements, int *done, bool oneRoundTrip,
                    QSqlError *error)
{
    const QString text = statements.join(";\n");
    qCDebug(lcSql).noquote() << text;
    int succeeded = 0;
    bool ok = true;
    if (oneRoundTrip) {
        // One result per statement; the server stops at the first that fails, whose error
        // ends the results.
        ok = query.exec(text);
        while (ok && ++succeeded < statements.size())
            ok = query.nextResult();
    } else {
        while (ok && succeeded < statements.size()) {
            ok = query.exec(statements.at(succeeded));
            if (ok)
                ++succeeded;
        }
    }
    if (done)
        *done = succeeded;
    return report(query, ok, error);
}

bool SqlHelper::save(const QString &table, const QSqlRecord &record, QVariant *writtenId,
                     QSqlError *error)
{
    // A table without ids has no row to update: every save is a new row.
    if (!record.contains("id")) {
        QSqlRecord copy = record;
        qCDebug(lcSql).noquote() << "insert " + table;
        const bool ok = insert(table, copy, error);
        if (writtenId)
            *writtenId = QVariant();
        return ok;
    }
    QSqlQueryModel model;
    model.setQuery("SELECT * from " + identifier(table) + " where id='" +
                   escape(record.value("id")) + "'");
    QSqlRecord copy = record;
    bool ok = false;
    if (model.lastError().isValid()) {
        // Without knowing whether the row exists, neither statement is safe.
        noteLostConnection(model.lastError());
        if (error)
            *error = model.lastError();
    } else if (model.rowCount() == 0) {
        qCDebug(lcSql).noquote() << "insert " + table;
        ok = insert(table, copy, error);
    } else {
        qCDebug(lcSql).noquote() << "update " + table;
        ok = update(table, copy, error);
    }
    if (writtenId)
        *writtenId = ok ? copy.value("id") : QVariant();
    return ok;
}

bool SqlHelper::remove(const QString &table, const QString &where, QSqlError *error)
{
    const QString statement = "delete from " + identifier(table) + " WHERE " + where;
    qCDebug(lcSql).noquote() << statement;
    QSqlQuery query;
    return report(query, query.exec(statement), error);
}

bool SqlHelper::remove(const QString &table, const QVariant &id, QSqlError *error)
{
    QString bare;
    // The id condition of a delete is written without quotes; anything else names no row.
    if (!idText(id, &bare)) {
        qCDebug(lcSql).noquote() << "not an id: " + plainText(id);
        return false;
    }
    QSqlQuery query;
    return report(query, query.exec("delete from " + identifier(table) + " WHERE id =" + bare),
                  error);
}
