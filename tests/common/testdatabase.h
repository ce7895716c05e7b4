#pragma once

#include <QDateTime>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// Fail the calling test with the server's message.
#define QVERIFY_SQL(db, sql)                                                                       \
    do {                                                                                           \
        QString sqlError_;                                                                         \
        QVERIFY2((db).exec(sql, &sqlError_), qPrintable(sqlError_));                               \
    } while (false)
#define QVERIFY_CREATE(db)                                                                         \
    do {                                                                                           \
        QString sqlError_;                                                                         \
        QVERIFY2((db).create(&sqlError_), qPrintable(sqlError_));                                  \
    } while (false)

// A database of its own on the throwaway test server: created with a unique name,
// loaded with db/schema.sql (or the file under db/ that STAVIMOR_TEST_SCHEMA names) and
// dropped again, so test executables can run in parallel.
// The server is found through STAVIMOR_TEST_DB_HOST, _PORT, _USER and _PASSWORD,
// which scripts/test.sh exports after starting it.
class TestDatabase
{
public:
    static QString host();
    static int port();
    static QString user();
    static QString password();
    // The schema file the databases are created from.
    static QString schemaPath();
    // True when that is not db/schema.sql: metadata tables without ids, no AUTO_INCREMENT.
    static bool minimalLayout();

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

    // Registers and opens the default connection on this database again
    // (the program closes it at logout and points it elsewhere in its connection tests).
    bool openDefault(QString *error = nullptr) const;
    // Writes the "database" settings group so that the program's own opening reaches this database.
    void writeConnectionSettings() const;
    // Drops the administrative connection, which a restart of the server has cut; the next
    // use opens a new one.
    void reconnect() const;

    // A connection of another workstation to this database, registered under name in the
    // calling thread; not yet open.
    QSqlDatabase connection(const QString &name) const;

    // Runs statements on a private administrative connection to this database.
    bool exec(const QString &sql, QString *error = nullptr) const;
    bool execScript(const QString &script, QString *error = nullptr) const;
    QVariant scalar(const QString &sql) const;
    int count(const QString &table, const QString &where = QString()) const;

    // Statements the server received on connections to this database since markStatements(),
    // in order, as recorded by its general query log (prepared statements as executed).
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
