#include <QRegularExpression>
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
    void cleanupTestCase() { db.drop(); }

    void saveNewRow();
    void resaveReplacesMetadata();
    void saveStatementTexts_data();
    void saveStatementTexts();
    void savedRowThatVanishedGetsItsNewId();
    void remove_data();
    void remove();
    void failedWriteLeavesRowIntact_data();
    void failedWriteLeavesRowIntact();
    void concurrentMetadataRowKeepsPairing();
    // Last: it lays the metadata tables out anew.
    void everyMetadataLayout_data();
    void everyMetadataLayout();

private:
    ExtRecord loadRow(int id) const;
    void addReviewedRow();
    // The rows of t, then ext_records, fields, monitorings and tasks, with ids and users;
    // stamps only when asked.
    QString snapshot(bool withStamps = false) const;
    QString expected(const QString &text) const
    {
        return QString(text)
            .replace("{a}", QString::number(alice))
            .replace("{b}", QString::number(bob));
    }
    QStringList received() const;
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
    // Metadata rows named by their table and row, "?" when their ext_records row is gone.
    const QString owner = "IFNULL(e.table_name, '?'), e.table_id";
    const QString join = " LEFT JOIN ext_records e ON e.id = x.ext_record_id";
    QStringList parts;
    for (const QString &sql :
         {QString("CONCAT_WS('/', id, group_id, a, b) ORDER BY id) FROM t"),
          "CONCAT_WS('/', " + ext + ") ORDER BY table_name, table_id) FROM ext_records",
          "CONCAT_WS('/', " + owner +
              ", x.field_name, x.state) ORDER BY e.table_name, "
              "e.table_id, x.field_name) FROM ext_records_fields x" +
              join,
          "CONCAT_WS('/', " + owner +
              ", x.user_id) ORDER BY e.table_name, e.table_id, "
              "x.user_id) FROM ext_records_monitorings x" +
              join,
          "CONCAT_WS('/', " + owner +
              ", x.title) ORDER BY e.table_name, e.table_id, x.title) "
              "FROM ext_records_tasks x" +
              join})
        parts << db.scalar("SELECT GROUP_CONCAT(" + sql).toString();
    return parts.join(" | ");
}

QStringList ExtRecordStoreTest::received() const
{
    // Statements that need no answer travel together.
    QStringList statements;
    for (const QString &sent : db.statements())
        statements << sent.split(";\n");
    return statements;
}

void ExtRecordStoreTest::checkedSequence(const QStringList &expected) const
{
    const QStringList received = this->received();
    int from = 0;
    for (const QString &statement : expected) {
        const int at = received.indexOf(statement, from);
        QVERIFY2(at >= 0, qPrintable(statement + "\nnot in order in:\n" + received.join("\n")));
        from = at + 1;
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
    const QDateTime before = db.scalar("SELECT NOW()").toDateTime();
    MessageCapture capture;
    QVERIFY(ExtRecordStore("t", alice).save(record));
    const QDateTime after = db.scalar("SELECT NOW()").toDateTime();

    const QString id = db.scalar("SELECT id FROM t WHERE a = 'new'").toString();
    QCOMPARE(record.value("id").toString(), id);
    QCOMPARE(snapshot(),
             expected("{id}/new | t/{id}/{a}/{a} | t/{id}/a/1,t/{id}/b/-1 | t/{id}/{a} | ")
                 .replace("{id}", id));
    QCOMPARE(db.count("ext_records", "created = modified"), 1);
    const QDateTime created = db.scalar("SELECT created FROM ext_records").toDateTime();
    QVERIFY2(created >= before && created <= after, qPrintable(created.toString()));
    QCOMPARE(record.created, created);
    QCOMPARE(record.createdUserId.toInt(), alice);
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
    QVERIFY(ExtRecordStore("t", alice).save(record));
    QCOMPARE(snapshot().section(" | ", 3, 3), expected("other/5/{b},t/5/{a},t/5/{b}"));
}

// The same statements, in one round trip where the server allows it and one at a time on a
// cluster node.
void ExtRecordStoreTest::saveStatementTexts_data()
{
    QTest::addColumn<bool>("shared");
    QTest::newRow("round trips shared") << true;
    QTest::newRow("one statement at a time") << false;
}

void ExtRecordStoreTest::saveStatementTexts()
{
    QFETCH(bool, shared);
    addReviewedRow();
    ExtRecord record = loadRow(5);
    db.markStatements();
    SqlUnitOfWork::ServerFacts facts;
    if (!shared)
        facts.sharedRoundTrips = false;
    QVERIFY(ExtRecordStore("t", alice, &facts).save(record));
    QCOMPARE(db.statements().filter(";\n").isEmpty(), !shared);
    const QStringList expected = {
        "DELETE em.* FROM ext_records e, ext_records_monitorings em WHERE e.id = em.ext_record_id "
        "AND e.table_name='t' AND e.table_id =5",
        "DELETE ef.* FROM ext_records e, ext_records_fields ef WHERE e.id = ef.ext_record_id AND "
        "e.table_name='t' AND e.table_id =5",
        "DELETE et.* FROM ext_records e, ext_records_tasks et WHERE e.id = et.ext_record_id AND "
        "e.table_name='t' AND e.table_id =5",
        "DELETE  FROM ext_records  WHERE table_name='t' AND table_id =5"};
    // Where the server counts, the metadata rows take its ids: no largest id is looked up.
    const QStringList sent = received();
    QVERIFY2(TestDatabase::minimalLayout() || sent.filter("MAX(id)").isEmpty(),
             qPrintable(sent.join("\n")));
    // No statement reads a whole metadata table, which would make saving grow with its size.
    for (const QString &statement : sent)
        QVERIFY2(!statement.startsWith("select * from ext_records", Qt::CaseInsensitive) ||
                     statement.contains("WHERE", Qt::CaseInsensitive) ||
                     statement.contains("LIMIT 0", Qt::CaseInsensitive),
                 qPrintable(statement));
    checkedSequence(expected);
}

void ExtRecordStoreTest::savedRowThatVanishedGetsItsNewId()
{
    addReviewedRow();
    ExtRecord record = loadRow(5);
    // Another workstation deleted row 5 since it was loaded.
    QVERIFY_SQL(db, "DELETE FROM t WHERE id = 5");
    record.setState(2, 1);
    QVERIFY(ExtRecordStore("t", alice).save(record));
    const QString id = db.scalar("SELECT id FROM t WHERE a = 'five'").toString();
    QCOMPARE(record.value("id").toString(), id);
    QCOMPARE(db.count("t"), 2);
    QCOMPARE(db.count("ext_records e JOIN ext_records_fields f ON f.ext_record_id = e.id",
                      "e.table_name = 't' AND e.table_id = " + id + " AND f.field_name = 'a'"),
             1);
}

void ExtRecordStoreTest::remove_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("left");
    // Tasks are never removed with their row.
    QTest::newRow("row with metadata")
        << 5
        << "4/four/4 | other/5/{b}/{b} | other/5/a/1 | other/5/{b} | ?/one,?/two,other/5/other";
    QTest::newRow("row without metadata")
        << 4
        << "5/five/5 | other/5/{b}/{b},t/5/{b}/{b} | other/5/a/1,t/5/a/1,t/5/b/-1 | "
           "other/5/{b},t/5/{a},t/5/{b} | other/5/other,t/5/one,t/5/two";
}

void ExtRecordStoreTest::remove()
{
    QFETCH(int, id);
    QFETCH(QString, left);
    addReviewedRow();
    ExtRecordStore store("t", alice);
    QCOMPARE(store.extRecordId(id), id == 5 ? 10 : 0);
    db.markStatements();
    QVERIFY(store.remove(loadRow(id)));
    QCOMPARE(snapshot(), expected(left));
    if (id == 5)
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
    QTest::newRow("field state refused") << "INSERT ON ext_records_fields"
                                         << "save"
                                         << "cannot save in ext_records ";
    QTest::newRow("monitoring refused") << "INSERT ON ext_records_monitorings"
                                        << "save"
                                        << "cannot save in monitorings ";
    QTest::newRow("metadata row refused") << "INSERT ON ext_records"
                                          << "save"
                                          << "cannot save in ext_records ";
    QTest::newRow("new row, field state refused") << "INSERT ON ext_records_fields"
                                                  << "new"
                                                  << "cannot save in ext_records ";
    QTest::newRow("new data row refused") << "INSERT ON t"
                                          << "new"
                                          << "cannot save in t--";
    QTest::newRow("removal of a monitoring refused") << "DELETE ON ext_records_monitorings"
                                                     << "remove"
                                                     << "cannot delete from t--";
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

// Another workstation writes a metadata row while this one is inside its transaction: the
// row's metadata still pairs with the id the server gave it.
void ExtRecordStoreTest::concurrentMetadataRowKeepsPairing()
{
    QVERIFY_SQL(db, "INSERT INTO ext_records (id, table_name, table_id) VALUES (20, 'x', 1)");
    QVERIFY_SQL(db, "CREATE TRIGGER refuse AFTER INSERT ON t FOR EACH ROW "
                    "SET @pause = GET_LOCK('stavimor_store_pause', 60)");
    QSemaphore holding;
    QString otherError;
    const QString dbName = db.name();
    QThread *other = QThread::create([&] {
        {
            QSqlDatabase connection = db.connection("other-workstation");
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
    // Whatever id the server gave (a cluster node counts in steps of the node count).
    const QString id = record.value("id").toString();
    QCOMPARE(db.count("ext_records", "table_name = 't' AND table_id = " + id), 1);
    QCOMPARE(db.count("ext_records_fields",
                      "field_name = 'a' AND ext_record_id = (SELECT id FROM ext_records WHERE "
                      "table_name = 't' AND table_id = " +
                          id + ")"),
             1);
    QCOMPARE(db.count("ext_records_fields"), 1);
}

void ExtRecordStoreTest::everyMetadataLayout_data()
{
    QTest::addColumn<QString>("ownId"); // the metadata tables' own id column, if any
    QTest::addColumn<bool>("counter");  // whether the server hands out the ids
    QTest::addColumn<QString>("extra"); // a column the program never names
    const QString id = "id INT NOT NULL %1 PRIMARY KEY, ";
    QTest::newRow("own ids, server counter") << id.arg("AUTO_INCREMENT") << true << QString();
    QTest::newRow("own ids, no counter") << id.arg("") << false << QString();
    QTest::newRow("no own ids, server counter") << QString() << true << QString();
    QTest::newRow("no own ids, no counter, extra columns")
        << QString() << false << ", note VARCHAR(20) NOT NULL DEFAULT 'none'";
}

// Loading, saving and deleting on metadata tables laid out as a group's own database may have
// them: the two readings agree, another user's mark survives a save with what it holds.
void ExtRecordStoreTest::everyMetadataLayout()
{
    QFETCH(QString, ownId);
    QFETCH(bool, counter);
    QFETCH(QString, extra);
    const QString tail = extra + ", KEY (ext_record_id)) ENGINE=InnoDB";
    const QString autoIncrement = counter ? " AUTO_INCREMENT" : "";
    // Rows in order, with ids where the table has them.
    auto rows = [&ownId](const QString &into, const QStringList &values) {
        QStringList tuples;
        for (int i = 0; i < values.size(); ++i)
            tuples << "(" + (ownId.isEmpty() ? QString() : QString::number(i + 1) + ", ") +
                          values.at(i) + ")";
        return ";INSERT INTO " + (ownId.isEmpty() ? into : QString(into).replace("(", "(id, ")) +
               " VALUES " + tuples.join(", ");
    };
    QString error;
    QVERIFY2(db.execScript(
                 "DROP TABLE ext_records_fields, ext_records_monitorings, ext_records_tasks;"
                 "CREATE TABLE ext_records_fields (" +
                     ownId + "ext_record_id INT NULL, field_name VARCHAR(64) NULL, state INT NULL" +
                     tail + ";CREATE TABLE ext_records_monitorings (" + ownId +
                     "ext_record_id INT NULL, user_id INT NULL" + tail +
                     ";CREATE TABLE ext_records_tasks (" + ownId + "ext_record_id INT NULL" + tail +
                     ";ALTER TABLE ext_records MODIFY id INT NOT NULL" + autoIncrement +
                     ";ALTER TABLE t MODIFY id INT NOT NULL" + autoIncrement +
                     (extra.isEmpty() ? QString()
                                      : ";ALTER TABLE ext_records ADD COLUMN IF NOT EXISTS "
                                        "group_id INT NULL DEFAULT 3") +
                     ";INSERT INTO t (id, a, b) VALUES (5, 'five', 5);"
                     "INSERT INTO ext_records (id, table_name, table_id) VALUES (10, 't', 5)" +
                     // Two rows for b: the later one wins.
                     rows("ext_records_fields (ext_record_id, field_name, state)",
                          {"10, 'a', 1", "10, 'B', -1", "10, 'b', 1"}) +
                     rows("ext_records_tasks (ext_record_id)", {"10"}) +
                     rows("ext_records_monitorings (ext_record_id, user_id)",
                          {"10, " + QString::number(alice), "10, " + QString::number(bob)}),
                 &error),
             qPrintable(error));
    if (!extra.isEmpty())
        QVERIFY_SQL(db, "UPDATE ext_records_monitorings SET note = 'bob''s' WHERE user_id = " +
                            QString::number(bob));

    ExtRecord one = loadRow(5);
    ExtRecord all;
    all.setValues(SqlHelper::record("t", 5));
    QVERIFY(ExtMetadata::readRecords({&all}, "t", QString::number(alice), all, &error));
    for (const ExtRecord &read : {one, all}) {
        QCOMPARE(read.state("a"), 1);
        QCOMPARE(read.state("b"), 1);
        QVERIFY(read.marked);
    }

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
    const QString id = fresh.value("id").toString();
    QCOMPARE(id, QString("6"));
    const QString marks = "(SELECT GROUP_CONCAT(CONCAT_WS('/', e.table_id, m.user_id" +
                          QString(extra.isEmpty() ? "" : ", m.note") +
                          ") ORDER BY e.table_id) FROM ext_records_monitorings m JOIN "
                          "ext_records e ON e.id = m.ext_record_id)";
    QCOMPARE(db.scalar("SELECT " + marks).toString(),
             expected(extra.isEmpty() ? "5/{b},6/{b}" : "5/{b}/bob's,6/{b}/none"));
    QCOMPARE(snapshot().section(" | ", 0, 2),
             expected("5/changed/5,6/new | t/5/{a}/{a},t/6/{b}/{b} | t/5/a/-1,t/5/b/1,t/6/b/1"));
    QCOMPARE(db.count("ext_records_tasks"), 0);

    QVERIFY(ExtRecordStore("t", alice).remove(loadRow(5)));
    QCOMPARE(snapshot().section(" | ", 0, 3), expected("6/new | t/6/{b}/{b} | t/6/b/1 | t/6/{b}"));
}

QTEST_MAIN(ExtRecordStoreTest)
#include "tst_extrecordstore.moc"
