#pragma once

#include <QDateTime>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// Fail the calling test with the server's message when a step of the fixture fails: create,
// addAuditTrail or addReviewTables.
#define QVERIFY_DB(db, step)                                                                       \
    do {                                                                                           \
        QString sqlError_;                                                                         \
        QVERIFY2((db).step(&sqlError_), qPrintable(sqlError_));                                    \
    } while (false)
#define QVERIFY_CREATE(db) QVERIFY_DB(db, create)
// The same for one statement, and for a script of several.
#define QVERIFY_SQL(db, sql)                                                                       \
    do {                                                                                           \
        QString sqlError_;                                                                         \
        QVERIFY2((db).exec(sql, &sqlError_), qPrintable(sqlError_));                               \
    } while (false)
#define QVERIFY_SCRIPT(db, script)                                                                 \
    do {                                                                                           \
        QString sqlError_;                                                                         \
        QVERIFY2((db).execScript(script, &sqlError_), qPrintable(sqlError_));                      \
    } while (false)

// A database of its own on the test server (STAVIMOR_TEST_DB_HOST, _PORT, _USER, _PASSWORD),
// loaded with db/schema.sql or the file STAVIMOR_TEST_SCHEMA names, so tests run in parallel.
class TestDatabase
{
public:
    // An unset or empty variable takes the fallback.
    static QString env(const char *name, const QString &fallback)
    {
        const QString value = qEnvironmentVariable(name);
        return value.isEmpty() ? fallback : value;
    }
    static QString host() { return env("STAVIMOR_TEST_DB_HOST", "127.0.0.1"); }
    static int port() { return env("STAVIMOR_TEST_DB_PORT", "3306").toInt(); }
    static QString user() { return env("STAVIMOR_TEST_DB_USER", "root"); }
    static QString password() { return qEnvironmentVariable("STAVIMOR_TEST_DB_PASSWORD"); }
    // The schema file the databases are created from.
    static QString schemaPath()
    {
        return STAVIMOR_SOURCE_DIR "/db/" + env("STAVIMOR_TEST_SCHEMA", "schema.sql");
    }
    // True when that is not db/schema.sql: metadata tables without ids, no AUTO_INCREMENT.
    static bool minimalLayout() { return !schemaPath().endsWith("/schema.sql"); }

    // Creates the database, loads the schema and opens it as the default connection.
    bool create(QString *error = nullptr);
    // Adds the audit trail part of db/schema.sql, as db/add_audit.sh does.
    bool addAuditTrail(QString *error = nullptr) const;
    // Adds the review questions and signatures part of db/schema.sql, as db/add_review.sh does.
    bool addReviewTables(QString *error = nullptr) const;
    // The largest id of table plus one.
    int nextId(const QString &table) const;
    // Drops the database and removes every connection this fixture made.
    void drop();

    QString name() const { return dbName; }

    // Opens the default connection on this database again (the program closes it at logout).
    bool openDefault(QString *error = nullptr) const;
    // Writes the "database" settings group so that the program's own opening reaches this database.
    void writeConnectionSettings() const;
    // Drops the administrative connection a server restart has cut; the next use opens anew.
    void reconnect() const;

    // Another workstation's connection, registered under name in this thread; not yet open.
    QSqlDatabase connection(const QString &name) const;

    // Runs statements on a private administrative connection to this database.
    bool exec(const QString &sql, QString *error = nullptr) const;
    bool execScript(const QString &script, QString *error = nullptr) const;
    QVariant scalar(const QString &sql) const;
    int count(const QString &table, const QString &where = QString()) const;
    // Each row of the result as its values joined by blanks, "NULL" for a null; the server's
    // error instead when the statement fails.
    QStringList rows(const QString &sql) const;

    // Statements received on connections to this database since markStatements(), in order.
    void markStatements();
    QStringList statements() const;

    // Adds a user with the MD5 of password as stored digest; returns its id.
    int addUser(const QString &username, const QString &password, const QString &email = QString());
    int addGroup(const QString &name);
    void addMembership(int groupId, int userId);

private:
    QSqlDatabase admin() const;
    // Runs the part of db/schema.sql from the line starting with from up to the one starting
    // with until (or the end).
    bool addSchemaPart(const QString &from, const QString &until, QString *error) const;

    QString dbName;
    QString adminConnection;
    QString mark; // the server's time in microseconds, as text: a QDateTime keeps milliseconds
    QSet<qlonglong> knownThreads;
};
