#pragma once

#include <QList>
#include <QObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlRelation>
#include <QString>
#include <QStringList>
#include <QVariant>

// Single-row statements on the default connection. An operation that can fail says so in its
// result (false, an empty record or list) and gives the server's error through error, when
// given; a lost connection is also noted for reopenIfLost(). Values are escaped by the driver
// before they go between quotes, and names that are not plain identifiers are quoted, so a quote in
// a value or a name never breaks or widens a statement; ordinary values give the plain texts.
class SqlHelper : public QObject
{
    Q_OBJECT
public:
    SqlHelper(const QString &table, QObject *parent = nullptr);

    static bool tableExists(const QString &table);
    // Whether the database has every one of the tables: an optional part of the layout that a
    // script adds to a database made before it.
    static bool hasTables(const QStringList &tables, QSqlError *error = nullptr);
    // Whether the table has a row whose column holds value, in *found; false when the
    // statement failed.
    static bool hasRow(const QString &table, const QString &column, const QVariant &value,
                       bool *found, QSqlError *error = nullptr);
    static int lastId(const QString &table, QSqlError *error = nullptr);
    static QSqlRecord emptyRecord(const QString &table, QSqlError *error = nullptr);
    static QSqlRecord record(const QString &table, const QVariant &id, QSqlError *error = nullptr);
    static QList<QSqlRecord> select(const QString &table, const QString &where,
                                    QSqlError *error = nullptr);
    // Every group's id and name, in the server's order: the choices of a group.
    static QList<QSqlRecord> groups(QSqlError *error = nullptr);
    // The users row with that name and password digest, empty when none matches; false when the
    // statement failed.
    static bool account(const QString &username, const QString &passwordHash, QSqlRecord *user,
                        QSqlError *error = nullptr);
    // The rows of the groups the user belongs to; a user id that is no whole number has none.
    static bool userGroups(const QVariant &userId, QList<QSqlRecord> *groups,
                           QSqlError *error = nullptr);
    // A column of the installation's one row of `infos`; invalid when there is none.
    static bool info(const QString &column, QVariant *value, QSqlError *error = nullptr);
    // The users the owner lists as contacts; false, with the server's error, when the read failed.
    static bool contacts(int ownerId, QList<QSqlRecord> *users, QSqlError *error = nullptr);
    static bool addContact(int ownerId, const QVariant &contactId, QSqlError *error = nullptr);
    static bool removeContact(int ownerId, const QVariant &contactId, QSqlError *error = nullptr);
    // The condition that keeps the memberships of one group, for a table model's filter.
    static QString membershipFilter(const QVariant &groupId);
    // Every row's key and display value, in the server's order: the choices of a relation
    // column. False when the statement failed; error, when given, receives the server's error.
    static bool relationChoices(const QSqlRelation &relation, QList<QSqlRecord> *choices,
                                QSqlError *error = nullptr);
    // The lookup of the display value of the related row whose index column holds key.
    static QString relationStatement(const QSqlRelation &relation, const QVariant &key);
    // That display value. False when the statement failed (display is then invalid); with no
    // such row, found is false and display a null of the display column's type.
    static bool relationDisplay(const QSqlRelation &relation, const QVariant &key,
                                QVariant *display, bool *found = nullptr,
                                QSqlError *error = nullptr);
    // The same for a table with an id column: every row's id and display value.
    static bool idChoices(const QString &table, const QString &displayColumn,
                          QList<QSqlRecord> *choices, QSqlError *error = nullptr);
    static bool insert(const QString &table, QSqlRecord &record, QSqlError *error = nullptr);
    // One statement for all records, which have the same fields. A null id of an
    // auto-increment column is left to the server (a single record then gets the id it was
    // given, several get none); otherwise the records get consecutive ids after the largest.
    static bool insert(const QString &table, QList<QSqlRecord> &records,
                       QSqlError *error = nullptr);
    static bool update(const QString &table, const QSqlRecord &record, QSqlError *error = nullptr);
    // The fields values generates, written to the row whose columns hold key, in the driver's
    // words with the values in the statement: a table model's prepared statement would not
    // survive the connection being opened again.
    static bool updateChanged(const QString &table, const QSqlRecord &values, const QSqlRecord &key,
                              QSqlError *error = nullptr);
    // The statements insert() and update() send, for a caller that runs several at once.
    static QString insertStatement(const QString &table, const QList<QSqlRecord> &records);
    static QString updateStatement(const QString &table, const QSqlRecord &record);
    static bool leavesIdToServer(const QSqlRecord &record);
    // Several statements, stopping at the first that fails: in one round trip, or one after
    // the other. The query is left on the result of the last one; done, when given, receives
    // how many succeeded.
    static bool run(QSqlQuery &query, const QStringList &statements, int *done = nullptr,
                    bool oneRoundTrip = true, QSqlError *error = nullptr);
    // writtenId, when given, receives the id of the row really written (after a fresh id
    // was taken for a collision), or a null value on failure.
    static bool save(const QString &table, const QSqlRecord &record, QVariant *writtenId = nullptr,
                     QSqlError *error = nullptr);
    static bool remove(const QString &table, const QString &where, QSqlError *error = nullptr);
    static bool remove(const QString &table, const QVariant &id, QSqlError *error = nullptr);

    bool tableExists() const { return tableExists(table); }
    int lastId() const { return lastId(table); }
    QSqlRecord emptyRecord() const { return emptyRecord(table); }
    QSqlRecord record(const QVariant &id) const { return record(table, id); }
    QList<QSqlRecord> select(const QString &where) const { return select(table, where); }
    bool insert(QSqlRecord &record) const { return insert(table, record); }
    bool update(const QSqlRecord &record) const { return update(table, record); }
    bool save(const QSqlRecord &record) const { return save(table, record); }
    bool remove(const QString &where) const { return remove(table, where); }
    bool remove(const QVariant &id) const { return remove(table, id); }

    // An id as it may stand unquoted in a statement; false (and an empty text) for anything
    // but a whole number.
    static bool idText(const QVariant &id, QString *text);

    // The value as text, escaped for use between single quotes (the quotes are not added).
    static QString escape(const QVariant &value);
    // A table or column name as it may stand in a statement: plain names unchanged,
    // anything else quoted with backticks.
    static QString identifier(const QString &name);
    // The value as a whole SQL literal: NULL, bytes in hexadecimal, or the escaped text between
    // single quotes.
    static QString literal(const QVariant &value);

    // True when the error says the default connection was lost (server gone, connection cut).
    // The driver does not reconnect by itself: a loss noted here is mended by the next
    // reopenIfLost().
    static bool noteLostConnection(const QSqlError &error);
    // The same test, for any connection, noting nothing.
    static bool meansLostConnection(const QSqlError &error);
    // Called where a unit of work begins (a load, a save, a query run, an administration
    // Apply), never inside one: after a lost connection, opens the default connection again
    // with its settings. When it cannot be opened the loss stays noted for the next unit, and
    // this unit's first statement fails and reports it, so there is nothing to return.
    static void reopenIfLost();

    // How often an insert takes a fresh id after another writer took the one it computed.
    static constexpr int maxInsertAttempts = 50;

private:
    // The largest id, 0 for an empty table; false when the statement failed.
    static bool largestId(const QString &table, int *id, QSqlError *error);

    QString table;
};
