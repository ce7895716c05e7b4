#include <QRegularExpression>
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
    void cleanupTestCase() { db.drop(); }

    void saveNewRow();
    void resaveReplacesMetadata_data();
    void resaveReplacesMetadata();
    void savedRowThatVanishedGetsItsNewId();
    void remove();
    void failedWriteLeavesRowIntact_data();
    void failedWriteLeavesRowIntact();
    // Last: it lays the metadata tables out anew.
    void metadataTablesOfAnotherLayout();

private:
    ExtRecord loadRow(int id) const;
    void addReviewedRow();
    // The rows of t, ext_records, fields, monitorings and tasks; stamps only when asked.
    QString snapshot(bool withStamps = false) const;
    QString expected(QString text) const
    {
        return text.replace("{a}", QString::number(alice)).replace("{b}", QString::number(bob));
    }
    void checkedSequence(const QStringList &expected) const;
    TestDatabase db;
    int alice = 0;
    int bob = 0;
};

void ExtRecordStoreTest::initTestCase()
{
    QVERIFY_CREATE(db);
    alice = db.addUser("alice", "a");
    bob = db.addUser("bob", "b");
}

void ExtRecordStoreTest::init()
{
    QString error;
    QVERIFY2(db.execScript("DROP TABLE IF EXISTS t; DROP TRIGGER IF EXISTS refuse;"
                           "CREATE TABLE t (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, group_id "
                           "INT NULL, a VARCHAR(32) NULL, b INT NULL) ENGINE=InnoDB;"
                           "DELETE FROM ext_records; DELETE FROM ext_records_fields;"
                           "DELETE FROM ext_records_monitorings; DELETE FROM ext_records_tasks;"
                           // A column of the tasks that the program never names.
                           "ALTER TABLE ext_records_tasks ADD COLUMN IF NOT EXISTS title "
                           "VARCHAR(255) NULL",
                           &error),
             qPrintable(error));
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
        QString("INSERT INTO t (id, group_id, a, b) VALUES (4, NULL, 'four', 4), "
                "(5, NULL, 'five', 5);"
                "INSERT INTO ext_records (id, table_name, table_id, created_user_id, created, "
                "modified_user_id, modified) VALUES (10, 't', 5, %1, '2020-01-02 03:04:05', %1, "
                "'2020-02-03 04:05:06'), (11, 'other', 5, %1, '2019-01-01 00:00:00', %1, NULL);"
                "INSERT INTO ext_records_fields (ext_record_id, field_name, state) VALUES "
                "(10, 'a', 1), (10, 'b', -1), (11, 'a', 1);"
                "INSERT INTO ext_records_monitorings (ext_record_id, user_id) VALUES (10, %1), "
                "(10, %2), (11, %1);"
                "INSERT INTO ext_records_tasks (ext_record_id, title) VALUES (10, 'one'), "
                "(10, 'two'), (11, 'other');")
            .arg(bob)
            .arg(alice);
    QVERIFY2(db.execScript(script, &error), qPrintable(error));
}

QString ExtRecordStoreTest::snapshot(bool withStamps) const
{
    const QString ext = withStamps ? "id, table_name, table_id, created_user_id, modified_user_id, "
                                     "created, modified"
                                   : "table_name, table_id, created_user_id, modified_user_id";
    QStringList parts = {
        db.scalar("SELECT GROUP_CONCAT(CONCAT_WS('/', id, group_id, a, b) ORDER BY id) FROM t")
            .toString(),
        db.scalar("SELECT GROUP_CONCAT(CONCAT_WS('/', " + ext +
                  ") ORDER BY table_name, table_id) FROM ext_records")
            .toString()};
    // Metadata rows named by their table and row, "?" when their ext_records row is gone.
    const QList<std::pair<QString, QString>> tables = {
        {"fields", "x.field_name, x.state"}, {"monitorings", "x.user_id"}, {"tasks", "x.title"}};
    for (const auto &[table, columns] : tables)
        parts << db.scalar("SELECT GROUP_CONCAT(CONCAT_WS('/', IFNULL(e.table_name, '?'), "
                           "e.table_id, " +
                           columns + ") ORDER BY e.table_name, e.table_id, " +
                           columns.section(',', 0, 0) + ") FROM ext_records_" + table +
                           " x LEFT JOIN ext_records e ON e.id = x.ext_record_id")
                     .toString();
    return parts.join(" | ");
}

void ExtRecordStoreTest::checkedSequence(const QStringList &expected) const
{
    // Statements that need no answer travel together.
    QStringList received;
    for (const QString &sent : db.statements())
        received << sent.split(";\n");
    int from = 0;
    for (const QString &statement : expected) {
        from = received.indexOf(statement, from) + 1;
        QVERIFY2(from > 0, qPrintable(statement + "\nnot in order in:\n" + received.join("\n")));
    }
}

void ExtRecordStoreTest::saveNewRow()
{
    ExtRecord record;
    record.setValues(SqlHelper::emptyRecord("t"));
    record.setValue("a", "new");
    record.setState(2, 1);
    record.setState(3, -1);
    record.marked = true;
    MessageCapture capture;
    QVERIFY(ExtRecordStore("t", alice).save(record));
    const QString id = record.value("id").toString();
    QCOMPARE(snapshot(),
             expected("{id}/new | t/{id}/{a}/{a} | t/{id}/a/1,t/{id}/b/-1 | t/{id}/{a} | ")
                 .replace("{id}", id));
    QCOMPARE(db.count("ext_records", "created = modified"), 1);
    QCOMPARE(record.created, db.scalar("SELECT created FROM ext_records").toDateTime());
    for (const QString &line : {"t saved...", "is New", "ext_record saved...",
                                "monitoring saved...", "a saved...", "b saved..."})
        QVERIFY2(capture.contains(line), qPrintable(line));
}
// The same statements, in one round trip where the server allows it and one at a time on a
// cluster node.
void ExtRecordStoreTest::resaveReplacesMetadata_data()
{
    QTest::addColumn<bool>("shared");
    QTest::newRow("round trips shared") << true;
    QTest::newRow("one statement at a time") << false;
}

void ExtRecordStoreTest::resaveReplacesMetadata()
{
    QFETCH(bool, shared);
    addReviewedRow();
    ExtRecord record = loadRow(5);
    QVERIFY(record.state("a") == 1 && record.marked);
    record.setValue("a", "changed");
    record.setState(3, 0); // b back to "todo"
    record.setState(1, 1);
    record.marked = false;
    ExtRecordStore store("t", alice);
    ExtRecordStore::ServerFacts facts;
    if (!shared)
        facts.sharedRoundTrips = false;
    store.facts = &facts;
    db.markStatements();
    QVERIFY(store.save(record));
    QCOMPARE(db.statements().filter(";\n").isEmpty(), !shared);
    checkedSequence(
        {"DELETE em.* FROM ext_records e, ext_records_monitorings em WHERE e.id = "
         "em.ext_record_id AND e.table_name='t' AND e.table_id =5",
         "DELETE ef.* FROM ext_records e, ext_records_fields ef WHERE e.id = ef.ext_record_id AND "
         "e.table_name='t' AND e.table_id =5",
         "DELETE et.* FROM ext_records e, ext_records_tasks et WHERE e.id = et.ext_record_id AND "
         "e.table_name='t' AND e.table_id =5",
         "DELETE  FROM ext_records  WHERE table_name='t' AND table_id =5"});
    // A fresh metadata row that keeps the creation, the old one's states, the saver's mark and
    // the tasks gone, the other user's mark kept; row 5 of another table untouched.
    QCOMPARE(snapshot(),
             expected("4/four/4,5/changed/5 | other/5/{b}/{b},t/5/{b}/{a} | "
                      "other/5/a/1,t/5/a/1,t/5/group_id/1 | other/5/{b},t/5/{b} | other/5/other"));
    QCOMPARE(db.count("ext_records", "id <> 10 AND table_name = 't' AND created = '2020-01-02 "
                                     "03:04:05' AND modified > '2021-01-01'"),
             1);
    // Marked by the saver: the saver's monitoring row once, and the other user's kept.
    record = loadRow(5);
    record.marked = true;
    QVERIFY(store.save(record));
    QCOMPARE(snapshot().section(" | ", 3, 3), expected("other/5/{b},t/5/{a},t/5/{b}"));
}

void ExtRecordStoreTest::savedRowThatVanishedGetsItsNewId()
{
    addReviewedRow();
    ExtRecord record = loadRow(5);
    QVERIFY_SQL(db, "DELETE FROM t WHERE id = 5"); // by another workstation since
    record.setState(2, 1);
    QVERIFY(ExtRecordStore("t", alice).save(record));
    const QString id = record.value("id").toString();
    QCOMPARE(db.count("t", "a = 'five' AND id = " + id), 1);
    QCOMPARE(snapshot().section(" | ", 2, 2), QString("other/5/a/1,t/%1/a/1,t/%1/b/-1").arg(id));
}
// Tasks are never removed with their row.
void ExtRecordStoreTest::remove()
{
    addReviewedRow();
    ExtRecordStore store("t", alice);
    QCOMPARE(store.extRecordId(5), 10);
    db.markStatements();
    QVERIFY(store.remove(loadRow(5)));
    QCOMPARE(snapshot(), expected("4/four/4 | other/5/{b}/{b} | other/5/a/1 | other/5/{b} | "
                                  "?/one,?/two,other/5/other"));
    checkedSequence({"delete from t WHERE id =5",
                     "SELECT id from ext_records where table_name='t' AND table_id='5'",
                     "delete from ext_records WHERE id =10",
                     "delete from ext_records_fields WHERE ext_record_id=10",
                     "delete from ext_records_monitorings WHERE ext_record_id=10"});
}

void ExtRecordStoreTest::failedWriteLeavesRowIntact_data()
{
    QTest::addColumn<QString>("refused"); // a trigger's event and table
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("message"); // the debug line's start
    // clang-format off
    QTest::newRow("field state refused") << "INSERT ON ext_records_fields" << "save" << "cannot save in ext_records ";
    QTest::newRow("monitoring refused") << "INSERT ON ext_records_monitorings" << "save" << "cannot save in monitorings ";
    QTest::newRow("new data row refused") << "INSERT ON t" << "new" << "cannot save in t--";
    QTest::newRow("removal refused") << "DELETE ON ext_records_monitorings" << "remove" << "cannot delete from t--";
    // clang-format on
}

void ExtRecordStoreTest::failedWriteLeavesRowIntact()
{
    QFETCH(QString, refused);
    QFETCH(QString, operation);
    QFETCH(QString, message);
    addReviewedRow();
    QVERIFY_SQL(db, "CREATE TRIGGER refuse BEFORE " + refused +
                        " FOR EACH ROW SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'refused'");
    const QString before = snapshot(true);
    MessageCapture capture;
    if (operation == "remove") {
        QVERIFY(!ExtRecordStore("t", alice).remove(5));
        QCOMPARE(snapshot(true), before);
    } else {
        const bool newRow = operation == "new";
        ExtRecord record = newRow ? ExtRecord() : loadRow(5);
        if (newRow)
            record.setValues(SqlHelper::emptyRecord("t"));
        record.setValue("a", "lost");
        record.setState(2, 1);
        record.marked = true;
        QVERIFY(!ExtRecordStore("t", alice).save(record));
        QCOMPARE(snapshot(true), before);
        QCOMPARE(record.value("a").toString(), QString("lost"));
        QCOMPARE(record.value("id").isNull(), newRow);
    }
    const QRegularExpression line("^" + QRegularExpression::escape(message) + ".*refused");
    QVERIFY2(capture.lines().filter(line).size() == 1, qPrintable(capture.lines().join("\n")));
}

// Metadata tables as a group's own database may have them: no ids of their own, no server
// counter, a column the program never names. Both readings agree, and another user's mark
// survives a save with what it holds.
void ExtRecordStoreTest::metadataTablesOfAnotherLayout()
{
    const QString tail = ", note VARCHAR(20) NOT NULL DEFAULT 'none', KEY (ext_record_id));";
    QString error;
    QVERIFY2(db.execScript(
                 "DROP TABLE ext_records_fields, ext_records_monitorings, ext_records_tasks;"
                 "CREATE TABLE ext_records_fields (ext_record_id INT, field_name VARCHAR(64), "
                 "state INT" +
                     tail + "CREATE TABLE ext_records_monitorings (ext_record_id INT, user_id INT" +
                     tail + "CREATE TABLE ext_records_tasks (ext_record_id INT, title VARCHAR(9)" +
                     tail +
                     "ALTER TABLE ext_records MODIFY id INT NOT NULL, ADD COLUMN IF NOT EXISTS "
                     "group_id INT NULL DEFAULT 3;"
                     "ALTER TABLE t MODIFY id INT NOT NULL;"
                     "INSERT INTO t (id, a, b) VALUES (5, 'five', 5);"
                     "INSERT INTO ext_records (id, table_name, table_id) VALUES (10, 't', 5);"
                     // Two rows for b: the later one wins.
                     "INSERT INTO ext_records_fields (ext_record_id, field_name, state) VALUES "
                     "(10, 'a', 1), (10, 'B', -1), (10, 'b', 1);"
                     "INSERT INTO ext_records_tasks (ext_record_id) VALUES (10);" +
                     expected("INSERT INTO ext_records_monitorings (ext_record_id, user_id, note) "
                              "VALUES (10, {a}, 'none'), (10, {b}, 'bob''s')"),
                 &error),
             qPrintable(error));
    ExtRecord one = loadRow(5);
    ExtRecord all;
    all.setValues(SqlHelper::record("t", 5));
    QVERIFY(ExtMetadata::readRecords({&all}, "t", QString::number(alice), all, &error));
    for (const ExtRecord &read : {one, all})
        QVERIFY(read.state("a") == 1 && read.state("b") == 1 && read.marked);

    one.setValue("a", "changed");
    one.setState(2, -1);
    one.marked = false;
    QVERIFY(ExtRecordStore("t", alice).save(one));
    ExtRecord fresh;
    fresh.setValues(SqlHelper::emptyRecord("t"));
    fresh.setValue("a", "new");
    fresh.setState(3, 1);
    fresh.marked = true;
    QVERIFY(ExtRecordStore("t", bob).save(fresh));
    QCOMPARE(fresh.value("id").toString(), QString("6"));
    QCOMPARE(db.scalar("SELECT GROUP_CONCAT(CONCAT_WS('/', e.table_id, m.user_id, m.note) ORDER "
                       "BY e.table_id) FROM ext_records_monitorings m JOIN ext_records e ON "
                       "e.id = m.ext_record_id")
                 .toString(),
             expected("5/{b}/bob's,6/{b}/none"));
    QCOMPARE(snapshot(), expected("5/changed/5,6/new | t/5/{a}/{a},t/6/{b}/{b} | "
                                  "t/5/a/-1,t/5/b/1,t/6/b/1 | t/5/{b},t/6/{b} | "));
}
QTEST_MAIN(ExtRecordStoreTest)
#include "tst_extrecordstore.moc"
