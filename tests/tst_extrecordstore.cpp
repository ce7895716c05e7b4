#include <QSemaphore>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QtTest>

#include "db/sqlhelper.h"
#include "messagecapture.h"
#include "model/extmetadata.h"
#include "model/extrecord.h"
#include "model/extrecordstore.h"
#include "testdatabase.h"

// Writing and deleting one row with its metadata on the real server, read back with plain SQL.
class ExtRecordStoreTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void saveNewRow();
    void resaveReplacesMetadata();
    void saveStatementTexts();
    void savedRowThatVanishedGetsItsNewId();
    void remove_data();
    void remove();
    void removeStatementTexts();
    void failedSaveLeavesRowIntact_data();
    void failedSaveLeavesRowIntact();
    void failedRemoveLeavesRowIntact();
    void concurrentMetadataRowKeepsPairing();

private:
    ExtRecord loadRow(int id) const;
    void addReviewedRow();
    QString metadataSnapshot() const;
    TestDatabase db;
    int alice = 0;
    int bob = 0;
};

void ExtRecordStoreTest::initTestCase()
{
    QString error;
    QVERIFY2(db.create(&error), qPrintable(error));
    alice = db.addUser("alice", "a");
    bob = db.addUser("bob", "b");
}

void ExtRecordStoreTest::init()
{
    QString error;
    for (const QString &statement :
         {QString("DROP TABLE IF EXISTS t"), QString("DROP TRIGGER IF EXISTS refuse"),
          QString("CREATE TABLE t (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, group_id INT NULL, "
                  "a VARCHAR(32) NULL, b INT NULL) ENGINE=InnoDB"),
          QString("DELETE FROM ext_records"), QString("DELETE FROM ext_records_fields"),
          QString("DELETE FROM ext_records_monitorings"), QString("DELETE FROM ext_records_tasks")})
        QVERIFY2(db.exec(statement, &error), qPrintable(error));
}

void ExtRecordStoreTest::cleanupTestCase()
{
    db.drop();
}

ExtRecord ExtRecordStoreTest::loadRow(int id) const
{
    ExtRecord record;
    record.setValues(SqlHelper::record("t", id));
    ExtMetadata::readRecord(record, "t", QString::number(alice), record);
    return record;
}

// Row 5 reviewed by bob in 2020: states on a and b, marks by both users, two tasks; row 5 of
// another table has metadata of its own.
void ExtRecordStoreTest::addReviewedRow()
{
    QString error;
    const QString script =
        QString(
            "INSERT INTO t (id, group_id, a, b) VALUES (4, NULL, 'four', 4), (5, NULL, 'five', 5);"
            "INSERT INTO ext_records (id, table_name, table_id, created_user_id, created, "
            "modified_user_id, modified) VALUES (10, 't', 5, %1, '2020-01-02 03:04:05', %1, "
            "'2020-02-03 04:05:06'), (11, 'other', 5, %1, '2019-01-01 00:00:00', %1, NULL);"
            "INSERT INTO ext_records_fields (ext_record_id, field_name, state) VALUES (10, 'a', "
            "1), "
            "(10, 'b', -1), (11, 'a', 1);"
            "INSERT INTO ext_records_monitorings (ext_record_id, user_id) VALUES (10, %1), (10, "
            "%2), "
            "(11, %1);"
            "INSERT INTO ext_records_tasks (ext_record_id, title) VALUES (10, 'one'), (10, 'two'), "
            "(11, 'other');")
            .arg(bob)
            .arg(alice);
    QVERIFY2(db.execScript(script, &error), qPrintable(error));
}

QString ExtRecordStoreTest::metadataSnapshot() const
{
    QStringList parts;
    for (const QString &sql :
         {QString("SELECT GROUP_CONCAT(CONCAT_WS('/', id, a, b) ORDER BY id) FROM t"),
          QString("SELECT GROUP_CONCAT(CONCAT_WS('/', id, table_name, table_id, created_user_id, "
                  "created, modified_user_id, modified) ORDER BY id) FROM ext_records"),
          QString("SELECT GROUP_CONCAT(CONCAT_WS('/', ext_record_id, field_name, state) ORDER BY "
                  "id) FROM ext_records_fields"),
          QString("SELECT GROUP_CONCAT(CONCAT_WS('/', ext_record_id, user_id) ORDER BY id) FROM "
                  "ext_records_monitorings"),
          QString("SELECT GROUP_CONCAT(CONCAT_WS('/', ext_record_id, title) ORDER BY id) FROM "
                  "ext_records_tasks")})
        parts << db.scalar(sql).toString();
    return parts.join("\n");
}

void ExtRecordStoreTest::saveNewRow()
{
    ExtRecord record;
    record.setValues(SqlHelper::emptyRecord("t"));
    record.setValue("a", "new");
    record.setState(2, 1);
    record.setState(3, -1);
    record.marked = true;
    const QDateTime before = db.scalar("SELECT NOW()").toDateTime();
    MessageCapture capture;
    QVERIFY(ExtRecordStore("t", alice).save(record));
    const QDateTime after = db.scalar("SELECT NOW()").toDateTime();

    QCOMPARE(record.value("id").toInt(), 1);
    QCOMPARE(db.count("t", "id = 1 AND a = 'new' AND b IS NULL AND group_id IS NULL"), 1);
    QCOMPARE(db.count("ext_records"), 1);
    const QString userCondition =
        QString("created_user_id = %1 AND modified_user_id = %1").arg(alice);
    QCOMPARE(
        db.count("ext_records",
                 "table_name = 't' AND table_id = 1 AND created = modified AND " + userCondition),
        1);
    const QDateTime created = db.scalar("SELECT created FROM ext_records").toDateTime();
    QVERIFY2(created >= before && created <= after, qPrintable(created.toString()));
    QCOMPARE(record.created, created);
    QCOMPARE(record.createdUserId.toInt(), alice);
    const int extId = db.scalar("SELECT id FROM ext_records").toInt();
    QCOMPARE(db.count("ext_records_monitorings"), 1);
    QCOMPARE(db.count("ext_records_monitorings",
                      QString("ext_record_id = %1 AND user_id = %2").arg(extId).arg(alice)),
             1);
    QCOMPARE(db.count("ext_records_fields"), 2);
    QCOMPARE(db.count("ext_records_fields",
                      QString("ext_record_id = %1 AND ((field_name = 'a' AND state = 1) OR "
                              "(field_name = 'b' AND state = -1))")
                          .arg(extId)),
             2);
    for (const QString &line : {"t saved...", "is New", "ext_record saved...",
                                "monitoring saved...", "a saved...", "b saved..."})
        QVERIFY2(capture.contains(line), qPrintable(line));
}

void ExtRecordStoreTest::resaveReplacesMetadata()
{
    addReviewedRow();
    ExtRecord record = loadRow(5);
    QCOMPARE(record.state("a"), 1);
    QVERIFY(record.marked);
    record.setValue("a", "changed");
    record.setState(3, 0); // b back to "todo"
    record.setState(1, 1);
    record.marked = false;
    QVERIFY(ExtRecordStore("t", alice).save(record));

    QCOMPARE(db.count("t", "id = 5 AND a = 'changed'"), 1);
    QCOMPARE(db.count("ext_records", "table_name = 't'"), 1);
    const int extId = db.scalar("SELECT id FROM ext_records WHERE table_name = 't'").toInt();
    QVERIFY(extId != 10);
    QCOMPARE(db.count("ext_records",
                      QString("id = %1 AND table_id = 5 AND created = '2020-01-02 03:04:05' AND "
                              "created_user_id = %2 AND modified_user_id = %3 AND "
                              "modified > '2021-01-01'")
                          .arg(extId)
                          .arg(bob)
                          .arg(alice)),
             1);
    QCOMPARE(db.count("ext_records_monitorings",
                      "ext_record_id IN (10, " + QString::number(extId) + ")"),
             0);
    QCOMPARE(db.count("ext_records_fields", "ext_record_id = 10"), 0);
    QCOMPARE(db.count("ext_records_fields", QString("ext_record_id = %1").arg(extId)), 2);
    QCOMPARE(
        db.count("ext_records_fields",
                 QString("ext_record_id = %1 AND field_name IN ('a', 'group_id') AND state = 1")
                     .arg(extId)),
        2);
    QCOMPARE(db.count("ext_records_tasks", "ext_record_id = 10"), 0);
    // Metadata of row 5 of another table is untouched.
    QCOMPARE(db.count("ext_records", "id = 11"), 1);
    QCOMPARE(db.count("ext_records_fields", "ext_record_id = 11"), 1);
    QCOMPARE(db.count("ext_records_monitorings", "ext_record_id = 11"), 1);
    QCOMPARE(db.count("ext_records_tasks", "ext_record_id = 11"), 1);

    // Marked by the saver: exactly one monitoring row, the saver's, and other users' are gone.
    QString error;
    QVERIFY2(db.exec(QString("INSERT INTO ext_records_monitorings (ext_record_id, user_id) "
                             "VALUES (%1, %2)")
                         .arg(extId)
                         .arg(bob),
                     &error),
             qPrintable(error));
    record = loadRow(5);
    record.marked = true;
    QVERIFY(ExtRecordStore("t", alice).save(record));
    QCOMPARE(db.count("ext_records_monitorings", "ext_record_id <> 11"), 1);
    QCOMPARE(db.count("ext_records_monitorings",
                      QString("user_id = %1 AND ext_record_id = (SELECT id FROM ext_records "
                              "WHERE table_name = 't')")
                          .arg(alice)),
             1);
}

void ExtRecordStoreTest::saveStatementTexts()
{
    addReviewedRow();
    ExtRecord record = loadRow(5);
    db.markStatements();
    QVERIFY(ExtRecordStore("t", alice).save(record));
    // Statements that need no answer travel together.
    QStringList received;
    for (const QString &sent : db.statements())
        received << sent.split(";\n");
    const QStringList expected = {
        "DELETE em.* FROM ext_records e, ext_records_monitorings em WHERE e.id = em.ext_record_id "
        "AND e.table_name='t' AND e.table_id =5",
        "DELETE ef.* FROM ext_records e, ext_records_fields ef WHERE e.id = ef.ext_record_id AND "
        "e.table_name='t' AND e.table_id =5",
        "DELETE et.* FROM ext_records e, ext_records_tasks et WHERE e.id = et.ext_record_id AND "
        "e.table_name='t' AND e.table_id =5",
        "DELETE  FROM ext_records  WHERE table_name='t' AND table_id =5"};
    // No statement reads a whole metadata table, which would make saving grow with its size.
    for (const QString &statement : received)
        QVERIFY2(!statement.startsWith("select * from ext_records", Qt::CaseInsensitive) ||
                     statement.contains("WHERE", Qt::CaseInsensitive) ||
                     statement.contains("LIMIT 0", Qt::CaseInsensitive),
                 qPrintable(statement));
    int from = 0;
    for (const QString &statement : expected) {
        const int at = received.indexOf(statement, from);
        QVERIFY2(at >= 0, qPrintable(statement + "\nnot in order in:\n" + received.join("\n")));
        from = at + 1;
    }
}

void ExtRecordStoreTest::savedRowThatVanishedGetsItsNewId()
{
    addReviewedRow();
    ExtRecord record = loadRow(5);
    QString error;
    // Another workstation deleted row 5 since it was loaded.
    QVERIFY2(db.exec("DELETE FROM t WHERE id = 5", &error), qPrintable(error));
    record.setState(2, 1);
    QVERIFY(ExtRecordStore("t", alice).save(record));
    QCOMPARE(record.value("id").toInt(), 5); // the maximum (4) plus one
    QVERIFY2(db.exec("DELETE FROM t WHERE id = 4", &error), qPrintable(error));
    QVERIFY2(db.exec("INSERT INTO t (id, a) VALUES (9, 'nine')", &error), qPrintable(error));
    QVERIFY2(db.exec("DELETE FROM t WHERE id = 5", &error), qPrintable(error));
    QVERIFY(ExtRecordStore("t", alice).save(record));
    QCOMPARE(record.value("id").toInt(), 10);
    QCOMPARE(db.count("t", "id = 10 AND a = 'five'"), 1);
    QCOMPARE(db.count("ext_records", "table_name = 't' AND table_id = 10"), 1);
    QCOMPARE(db.count("ext_records_fields",
                      "field_name = 'a' AND ext_record_id = (SELECT id FROM ext_records WHERE "
                      "table_name = 't' AND table_id = 10)"),
             1);
}

void ExtRecordStoreTest::remove_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("rowsLeft");
    QTest::addColumn<int>("extLeft");
    QTest::newRow("row with metadata") << 5 << 1 << 1;
    QTest::newRow("row without metadata") << 4 << 1 << 2;
}

void ExtRecordStoreTest::remove()
{
    QFETCH(int, id);
    QFETCH(int, rowsLeft);
    QFETCH(int, extLeft);
    addReviewedRow();
    const int fieldsOfOther = db.count("ext_records_fields", "ext_record_id = 11");
    QVERIFY(ExtRecordStore("t", alice).remove(loadRow(id)));
    QCOMPARE(db.count("t"), rowsLeft);
    QCOMPARE(db.count("t", "id = " + QString::number(id)), 0);
    QCOMPARE(db.count("ext_records"), extLeft);
    QCOMPARE(db.count("ext_records", "id = 11"), 1);
    QCOMPARE(db.count("ext_records_fields", "ext_record_id = 11"), fieldsOfOther);
    QCOMPARE(db.count("ext_records_monitorings", "ext_record_id = 11"), 1);
    const int fieldsOfRow = id == 5 ? 0 : 2;
    QCOMPARE(db.count("ext_records_fields", "ext_record_id = 10"), fieldsOfRow);
    QCOMPARE(db.count("ext_records_monitorings", "ext_record_id = 10"), fieldsOfRow);
    // Tasks are never removed with their row.
    QCOMPARE(db.count("ext_records_tasks", "ext_record_id = 10"), 2);
}

void ExtRecordStoreTest::removeStatementTexts()
{
    addReviewedRow();
    ExtRecordStore store("t", alice);
    QCOMPARE(store.extRecordId(5), 10);
    QCOMPARE(store.extRecordId(4), 0);
    db.markStatements();
    QVERIFY(store.remove(5));
    const QStringList received = db.statements();
    const QStringList expected = {"delete from t WHERE id =5",
                                  "SELECT id from ext_records where table_name='t' AND "
                                  "table_id='5'",
                                  "delete from ext_records WHERE id =10",
                                  "delete from ext_records_fields WHERE ext_record_id=10",
                                  "delete from ext_records_monitorings WHERE ext_record_id=10"};
    int from = 0;
    for (const QString &statement : expected) {
        const int at = received.indexOf(statement, from);
        QVERIFY2(at >= 0, qPrintable(statement + "\nnot in order in:\n" + received.join("\n")));
        from = at + 1;
    }
}

void ExtRecordStoreTest::failedSaveLeavesRowIntact_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("newRow");
    QTest::newRow("field state refused") << "ext_records_fields" << false;
    QTest::newRow("monitoring refused") << "ext_records_monitorings" << false;
    QTest::newRow("metadata row refused") << "ext_records" << false;
    QTest::newRow("new row, field state refused") << "ext_records_fields" << true;
}

void ExtRecordStoreTest::failedSaveLeavesRowIntact()
{
    QFETCH(QString, table);
    QFETCH(bool, newRow);
    addReviewedRow();
    QString error;
    QVERIFY2(db.exec("CREATE TRIGGER refuse BEFORE INSERT ON " + table +
                         " FOR EACH ROW SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'refused'",
                     &error),
             qPrintable(error));
    const QString before = metadataSnapshot();
    ExtRecord record = newRow ? ExtRecord() : loadRow(5);
    if (newRow)
        record.setValues(SqlHelper::emptyRecord("t"));
    record.setValue("a", "lost");
    record.setState(2, 1);
    record.marked = true;
    MessageCapture capture;
    QVERIFY(!ExtRecordStore("t", alice).save(record));
    QCOMPARE(metadataSnapshot(), before);
    QCOMPARE(record.value("a").toString(), QString("lost"));
    QCOMPARE(record.value("id").isNull(), newRow);
}

void ExtRecordStoreTest::failedRemoveLeavesRowIntact()
{
    addReviewedRow();
    QString error;
    QVERIFY2(db.exec("CREATE TRIGGER refuse BEFORE DELETE ON ext_records_monitorings FOR EACH "
                     "ROW SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'refused'",
                     &error),
             qPrintable(error));
    const QString before = metadataSnapshot();
    QVERIFY(!ExtRecordStore("t", alice).remove(5));
    QCOMPARE(metadataSnapshot(), before);
}

// Another workstation writes a metadata row while this one is inside its transaction: the
// row's metadata still pairs with the id the server gave it.
void ExtRecordStoreTest::concurrentMetadataRowKeepsPairing()
{
    QString error;
    QVERIFY2(
        db.exec("INSERT INTO ext_records (id, table_name, table_id) VALUES (20, 'x', 1)", &error),
        qPrintable(error));
    QVERIFY2(db.exec("CREATE TRIGGER refuse AFTER INSERT ON t FOR EACH ROW "
                     "SET @pause = GET_LOCK('stavimor_store_pause', 60)",
                     &error),
             qPrintable(error));
    QSemaphore holding;
    QString otherError;
    const QString dbName = db.name();
    QThread *other = QThread::create([&] {
        {
            QSqlDatabase connection = QSqlDatabase::addDatabase("QMYSQL", "other-workstation");
            connection.setHostName(TestDatabase::host());
            connection.setPort(TestDatabase::port());
            connection.setUserName(TestDatabase::user());
            connection.setPassword(TestDatabase::password());
            connection.setDatabaseName(dbName);
            QSqlQuery query(connection);
            if (!connection.open() || !query.exec("SELECT GET_LOCK('stavimor_store_pause', 60)")) {
                otherError = connection.lastError().text();
                holding.release();
                return;
            }
            holding.release();
            // Wait until the saving connection waits inside its transaction.
            for (int i = 0; i < 600; ++i) {
                query.exec("SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE STATE "
                           "LIKE 'User lock%' AND DB = '" +
                           dbName + "'");
                if (query.next() && query.value(0).toInt() > 0)
                    break;
                QThread::msleep(50);
            }
            if (!query.exec("INSERT INTO ext_records (id, table_name, table_id) VALUES (21, "
                            "'elsewhere', 77)"))
                otherError = query.lastError().text();
            query.exec("SELECT RELEASE_LOCK('stavimor_store_pause')");
            connection.close();
        }
        QSqlDatabase::removeDatabase("other-workstation");
    });
    other->start();
    holding.acquire();
    QVERIFY2(otherError.isEmpty(), qPrintable(otherError));

    ExtRecord record;
    record.setValues(SqlHelper::emptyRecord("t"));
    record.setValue("a", "mine");
    record.setState(2, 1);
    const bool saved = ExtRecordStore("t", alice).save(record);
    other->wait();
    delete other;
    QSqlQuery release("SELECT RELEASE_LOCK('stavimor_store_pause')");
    QVERIFY2(otherError.isEmpty(), qPrintable(otherError));
    QVERIFY(saved);
    QCOMPARE(db.count("ext_records", "id = 21 AND table_name = 'elsewhere' AND table_id = 77"), 1);
    QCOMPARE(db.count("ext_records", "id = 22 AND table_name = 't' AND table_id = 1"), 1);
    QCOMPARE(db.count("ext_records_fields", "ext_record_id = 22 AND field_name = 'a'"), 1);
    QCOMPARE(db.count("ext_records_fields"), 1);
}

QTEST_MAIN(ExtRecordStoreTest)
#include "tst_extrecordstore.moc"
