#include "testdatabase.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include "sqlscript.h"

namespace {
QSqlDatabase connectTo(const QString &connection, const QString &database)
{
    QSqlDatabase db = QSqlDatabase::addDatabase("QMYSQL", connection);
    db.setHostName(TestDatabase::host());
    db.setPort(TestDatabase::port());
    db.setUserName(TestDatabase::user());
    db.setPassword(TestDatabase::password());
    db.setDatabaseName(database);
    return db;
}

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}
} // namespace

bool TestDatabase::create(QString *error)
{
    dbName = QString("stavimor_test_%1_%2")
                 .arg(QCoreApplication::applicationPid())
                 .arg(QRandomGenerator::global()->bounded(1000000));
    adminConnection = "testdb-admin-" + dbName;
    {
        QSqlDatabase server = connectTo("testdb-server", QString());
        if (!server.open())
            return fail(error, "test server unreachable: " + server.lastError().text());
        QSqlQuery query(server);
        if (!query.exec("CREATE DATABASE `" + dbName + "` CHARACTER SET utf8mb4"))
            return fail(error, query.lastError().text());
        server.close();
    }
    QSqlDatabase::removeDatabase("testdb-server");

    QSqlDatabase db = connectTo(adminConnection, dbName);
    if (!db.open())
        return fail(error, db.lastError().text());
    QFile schema(schemaPath());
    if (!schema.open(QIODevice::ReadOnly))
        return fail(error, "cannot read " + schema.fileName());
    if (!execScript(QString::fromUtf8(schema.readAll()), error))
        return false;
    return openDefault(error);
}

bool TestDatabase::addAuditTrail(QString *error) const
{
    return addSchemaPart("-- The audit trail of the review data",
                         "-- Review questions on single fields", error);
}

bool TestDatabase::addReviewTables(QString *error) const
{
    return addSchemaPart("-- Review questions on single fields", QString(), error);
}

bool TestDatabase::addSchemaPart(const QString &from, const QString &until, QString *error) const
{
    QFile schema(STAVIMOR_SOURCE_DIR "/db/schema.sql");
    if (!schema.open(QIODevice::ReadOnly))
        return fail(error, "cannot read " + schema.fileName());
    const QString text = QString::fromUtf8(schema.readAll());
    const qsizetype start = text.indexOf(from);
    if (start < 0)
        return fail(error, "no \"" + from + "\" in " + schema.fileName());
    const qsizetype end = until.isEmpty() ? -1 : text.indexOf(until, start);
    // As the scripts add it, with its own counter whatever the layout.
    for (const QString &statement : SqlScript::split(text.mid(start, end < 0 ? -1 : end - start))) {
        QSqlQuery query(admin());
        if (!query.exec(statement))
            return fail(error, query.lastError().text() + " in: " + statement);
    }
    return true;
}

void TestDatabase::drop()
{
    if (dbName.isEmpty())
        return;
    QSqlDatabase::database(QSqlDatabase::defaultConnection, false).close();
    QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
    exec("DROP DATABASE `" + dbName + "`");
    QSqlDatabase::database(adminConnection, false).close();
    QSqlDatabase::removeDatabase(adminConnection);
    dbName.clear();
}

bool TestDatabase::openDefault(QString *error) const
{
    QSqlDatabase db = connectTo(QSqlDatabase::defaultConnection, dbName);
    return db.open() || fail(error, db.lastError().text());
}

void TestDatabase::writeConnectionSettings() const
{
    QSettings settings;
    settings.beginGroup("database");
    settings.setValue("driver", "QMYSQL");
    settings.setValue("host", host());
    settings.setValue("port", port());
    settings.setValue("databasename", dbName);
    settings.setValue("login", user());
    settings.setValue("password", password());
    settings.endGroup();
}

void TestDatabase::reconnect() const
{
    QSqlDatabase::database(adminConnection, false).close();
}

QSqlDatabase TestDatabase::connection(const QString &name) const
{
    return connectTo(name, dbName);
}

QSqlDatabase TestDatabase::admin() const
{
    QSqlDatabase db = QSqlDatabase::database(adminConnection);
    if (!db.isOpen())
        db.open();
    return db;
}

bool TestDatabase::exec(const QString &sql, QString *error) const
{
    // The tests' own data tables follow the layout too: ids without a server counter.
    QString statement = sql;
    if (minimalLayout() && statement.trimmed().startsWith("CREATE TABLE", Qt::CaseInsensitive))
        statement.remove(QRegularExpression("\\s+AUTO_INCREMENT\\b(\\s*=\\s*\\d+)?",
                                            QRegularExpression::CaseInsensitiveOption));
    QSqlQuery query(admin());
    return query.exec(statement) || fail(error, query.lastError().text() + " in: " + statement);
}

bool TestDatabase::execScript(const QString &script, QString *error) const
{
    for (const QString &statement : SqlScript::split(script)) {
        if (!exec(statement, error))
            return false;
    }
    return true;
}

QVariant TestDatabase::scalar(const QString &sql) const
{
    QSqlQuery query(admin());
    if (!query.exec(sql) || !query.next())
        return QVariant();
    return query.value(0);
}

int TestDatabase::count(const QString &table, const QString &where) const
{
    return scalar("SELECT COUNT(*) FROM " + table +
                  (where.isEmpty() ? QString() : " WHERE " + where))
        .toInt();
}

QStringList TestDatabase::rows(const QString &sql) const
{
    QSqlQuery query(admin());
    if (!query.exec(sql))
        return {query.lastError().text()};
    QStringList result;
    while (query.next()) {
        QStringList values;
        for (int i = 0; i < query.record().count(); ++i)
            values << (query.isNull(i) ? "NULL" : query.value(i).toString());
        result << values.join(' ');
    }
    return result;
}

void TestDatabase::markStatements()
{
    exec("SET GLOBAL log_output='TABLE'");
    exec("SET GLOBAL general_log=1");
    // Cut to milliseconds, the mark would let in statements sent just before it.
    mark = scalar("SELECT CAST(NOW(6) AS CHAR)").toString();
    // Connections opened before the mark have no Connect line after it: take them from the
    // process list.
    knownThreads.clear();
    QSqlQuery query(admin());
    query.prepare("SELECT ID FROM information_schema.PROCESSLIST WHERE DB = ? AND ID <> "
                  "CONNECTION_ID()");
    query.addBindValue(dbName);
    if (query.exec()) {
        while (query.next())
            knownThreads.insert(query.value(0).toLongLong());
    }
}

QStringList TestDatabase::statements() const
{
    // The log is written as the server goes; connections to this database are told apart
    // by their Connect line, which names the database.
    QSqlQuery query(admin());
    query.prepare("SELECT thread_id, command_type, CONVERT(argument USING utf8mb4) "
                  "FROM mysql.general_log WHERE event_time >= ? ORDER BY event_time");
    query.addBindValue(mark);
    QStringList result;
    if (!query.exec())
        return result;
    QSet<qlonglong> threads = knownThreads;
    const QString own = QString::number(scalar("SELECT CONNECTION_ID()").toLongLong());
    while (query.next()) {
        const qlonglong thread = query.value(0).toLongLong();
        const QString command = query.value(1).toString();
        const QString argument = query.value(2).toString();
        if (command == "Connect" && argument.contains(" on " + dbName + " "))
            threads.insert(thread);
        else if (command == "Init DB" && argument == dbName)
            threads.insert(thread);
        else if ((command == "Query" || command == "Execute") && threads.contains(thread) &&
                 QString::number(thread) != own)
            result << argument;
    }
    return result;
}

int TestDatabase::addUser(const QString &username, const QString &password, const QString &email)
{
    const QString digest =
        QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Md5).toHex();
    QSqlQuery query(admin());
    const int id = nextId("users");
    query.prepare("INSERT INTO users (id, username, password, first_name, second_name, email) "
                  "VALUES (?, ?, ?, ?, ?, ?)");
    for (const QVariant &value : {QVariant(id), QVariant(username), QVariant(digest),
                                  QVariant(username + " first"), QVariant(username + " second"),
                                  QVariant(email.isEmpty() ? username + "@example.org" : email)})
        query.addBindValue(value);
    return query.exec() ? id : -1;
}

int TestDatabase::addGroup(const QString &name)
{
    QSqlQuery query(admin());
    const int id = nextId("groups");
    query.prepare("INSERT INTO groups (id, name) VALUES (?, ?)");
    query.addBindValue(id);
    query.addBindValue(name);
    return query.exec() ? id : -1;
}

void TestDatabase::addMembership(int groupId, int userId)
{
    exec(QString("INSERT INTO groups_users (id, group_id, user_id) VALUES (%1, %2, %3)")
             .arg(nextId("groups_users"))
             .arg(groupId)
             .arg(userId));
}

// Ids as a database without AUTO_INCREMENT needs them.
int TestDatabase::nextId(const QString &table) const
{
    return scalar("SELECT COALESCE(MAX(id), 0) + 1 FROM " + table).toInt();
}
