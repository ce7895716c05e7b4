#include <QRegularExpression>
#include <QSqlField>
#include <QtTest>

#include "db/sqlhelper.h"
#include "messagecapture.h"
#include "model/extmetadata.h"
#include "model/extrecord.h"
#include "model/extrecordstore.h"
#include "testdatabase.h"

// Writing and deleting one row with its metadata on the real server, read back with plain SQL,
// and the single-row statements beneath: the texts the server receives, and what they do with
// ordinary and hostile values.
class ExtRecordStoreTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY_CREATE(db);
        alice = db.addUser("alice", "a");
        bob = db.addUser("bob", "b");
    }

    void init()
    {
        // The tasks carry a column that the program never names.
        QVERIFY_SCRIPT(db, R"(DROP TABLE IF EXISTS t; DROP TRIGGER IF EXISTS refuse;
    CREATE TABLE t (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, group_id INT NULL,
      a VARCHAR(32) NULL, b INT NULL, name VARCHAR(64) NULL, amount INT NULL, day DATE NULL);
    DELETE FROM ext_records; DELETE FROM ext_records_fields;
    DELETE FROM ext_records_monitorings; DELETE FROM ext_records_tasks;
    ALTER TABLE ext_records_tasks ADD COLUMN IF NOT EXISTS title VARCHAR(255) NULL)");
    }

    void cleanupTestCase() { db.drop(); }

    void saveNewRow()
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
    void resaveReplacesMetadata_data()
    {
        QTest::addColumn<bool>("shared");
        QTest::newRow("round trips shared") << true;
        QTest::newRow("one statement at a time") << false;
    }

    void resaveReplacesMetadata()
    {
        QFETCH(bool, shared);
        addReviewedRow();
        ExtRecord record = loadRow(5);
        QVERIFY(record.state("a") == 1 && record.marked);
        record.setValue("a", "changed");
        record.setState(3, 0); // b back to "todo"
        record.setState(1, 1);
        record.marked = false;
        SqlUnitOfWork::ServerFacts facts;
        if (!shared)
            facts.sharedRoundTrips = false;
        ExtRecordStore store("t", alice, &facts);
        db.markStatements();
        QVERIFY(store.save(record));
        QCOMPARE(db.statements().filter(";\n").isEmpty(), !shared);
        checkedSequence({"DELETE em.* FROM ext_records e, ext_records_monitorings em WHERE e.id = "
                         "em.ext_record_id AND e.table_name='t' AND e.table_id =5",
                         "DELETE ef.* FROM ext_records e, ext_records_fields ef WHERE e.id = "
                         "ef.ext_record_id AND "
                         "e.table_name='t' AND e.table_id =5",
                         "DELETE et.* FROM ext_records e, ext_records_tasks et WHERE e.id = "
                         "et.ext_record_id AND "
                         "e.table_name='t' AND e.table_id =5",
                         "DELETE  FROM ext_records  WHERE table_name='t' AND table_id =5"});
        // A fresh metadata row that keeps the creation, the old one's states, the saver's mark and
        // the tasks gone, the other user's mark kept; row 5 of another table untouched.
        QCOMPARE(
            snapshot(),
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

    void savedRowThatVanishedGetsItsNewId()
    {
        addReviewedRow();
        ExtRecord record = loadRow(5);
        QVERIFY_SQL(db, "DELETE FROM t WHERE id = 5"); // by another workstation since
        record.setState(2, 1);
        QVERIFY(ExtRecordStore("t", alice).save(record));
        const QString id = record.value("id").toString();
        QCOMPARE(db.count("t", "a = 'five' AND id = " + id), 1);
        QCOMPARE(snapshot().section(" | ", 2, 2),
                 QString("other/5/a/1,t/%1/a/1,t/%1/b/-1").arg(id));
    }

    // Tasks are never removed with their row.
    void remove()
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

    void failedWriteLeavesRowIntact_data()
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

    void failedWriteLeavesRowIntact()
    {
        QFETCH(QString, refused);
        QFETCH(QString, operation);
        QFETCH(QString, message);
        addReviewedRow();
        QVERIFY_SQL(db, "CREATE TRIGGER refuse BEFORE " + refused +
                            " FOR EACH ROW SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'refused'");
        const QString before = snapshot(true);
        MessageCapture capture;
        const bool newRow = operation == "new";
        ExtRecord record = newRow ? ExtRecord() : loadRow(5);
        if (newRow)
            record.setValues(SqlHelper::emptyRecord("t"));
        record.setValue("a", "lost");
        record.setState(2, 1);
        record.marked = true;
        ExtRecordStore store("t", alice);
        QVERIFY(operation == "remove" ? !store.remove(5) : !store.save(record));
        QCOMPARE(snapshot(true), before);
        QCOMPARE(record.value("a").toString(), QString("lost"));
        QCOMPARE(record.value("id").isNull(), newRow);
        const QRegularExpression line("^" + QRegularExpression::escape(message) + ".*refused");
        QVERIFY2(capture.lines().filter(line).size() == 1, qPrintable(capture.lines().join("\n")));
    }

    // The single-row statements beneath.
    void statementTexts_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("statement");
        // clang-format off
        QTest::newRow("lastId") << "lastId" << "SELECT MAX(id) AS lastId FROM t";
        QTest::newRow("emptyRecord") << "emptyRecord" << "select * from t";
        QTest::newRow("record") << "record" << "select * from t WHERE id='5'";
        QTest::newRow("select") << "select" << "select * from t WHERE name='x'";
        QTest::newRow("insert") << "insert" << "INSERT INTO t  (id,name) VALUES ('7' ,'x' )";
        QTest::newRow("save, existing id") << "saveExisting" << "SELECT * from t where id='3'";
        QTest::newRow("update, as executed") << "saveExisting"
                << "UPDATE t SET id=3,name='y' WHERE id='3'";
        QTest::newRow("save, null id") << "saveNull" << "SELECT * from t where id=''";
        QTest::newRow("remove by condition") << "removeWhere" << "delete from t WHERE name='x'";
        // clang-format on
    }

    void statementTexts()
    {
        QFETCH(QString, operation);
        QFETCH(QString, statement);
        QVERIFY_SQL(db, "INSERT INTO t (id, name) VALUES (3, 'a'), (5, 'b'), (6, 'x')");
        db.markStatements();
        if (operation == "lastId") {
            QCOMPARE(SqlHelper::lastId("t"), 6);
        } else if (operation == "emptyRecord") {
            QCOMPARE(SqlHelper::emptyRecord("t").count(), 7);
        } else if (operation == "record") {
            QCOMPARE(SqlHelper::record("t", 5).value("name").toString(), QString("b"));
        } else if (operation == "select") {
            QCOMPARE(SqlHelper::select("t", "name='x'").size(), 1);
        } else if (operation == "insert") {
            QSqlRecord record = row(QVariant(), "x");
            QVERIFY(SqlHelper::insert("t", record));
        } else if (operation == "saveExisting") {
            QVERIFY(SqlHelper::save("t", row(3, "y")));
        } else if (operation == "saveNull") {
            QVERIFY(SqlHelper::save("t", row(QVariant(), "z")));
        } else if (operation == "removeWhere") {
            QVERIFY(SqlHelper::remove("t", QString("name='x'")));
        }
        const QStringList received = db.statements();
        QVERIFY2(received.contains(statement), qPrintable(received.join("\n")));
    }

    // The ids written go back into the records: the server's for a record of the table's own
    // columns, the next ones after the largest for rows of other columns, all in one statement.
    void insertWritesIdsBack()
    {
        QSqlRecord existing = SqlHelper::emptyRecord("t");
        existing.setValue("name", "existing");
        QVERIFY(SqlHelper::insert("t", existing));
        QCOMPARE(existing.value("id"), db.scalar("SELECT id FROM t WHERE name = 'existing'"));
        QList<QSqlRecord> records = {row(QVariant(), "a"), row(7, QVariant()),
                                     row(QVariant(), "c")};
        db.markStatements();
        QVERIFY(SqlHelper::insert("t", records));
        QCOMPARE(
            db.statements().filter(QRegularExpression("^INSERT")),
            QStringList("INSERT INTO t  (id,name) VALUES ('2' ,'a' ),('3' ,NULL ),('4' ,'c' )"));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(records.at(i).value("id").toInt(), i + 2);
    }

    void save_data()
    {
        QTest::addColumn<QVariant>("id");
        QTest::addColumn<QString>("line"); // what it says it does
        QTest::newRow("existing id") << QVariant(4) << "update t";
        QTest::newRow("null id") << QVariant() << "insert t";
        QTest::newRow("unknown id: a new row") << QVariant(40) << "insert t";
    }

    void save()
    {
        QFETCH(QVariant, id);
        QFETCH(QString, line);
        QVERIFY_SQL(db, "INSERT INTO t (id, name) VALUES (4, 'four')");
        MessageCapture capture;
        const QSqlRecord record = row(id, "saved");
        QVariant writtenId;
        QVERIFY(SqlHelper::save("t", record, &writtenId));
        QCOMPARE(record.value("id"), id); // the caller's record keeps its id
        QCOMPARE(writtenId, db.scalar("SELECT id FROM t WHERE name = 'saved'"));
        QVERIFY(capture.contains(line));
        QCOMPARE(db.count("t"), line == "insert t" ? 2 : 1);
    }

    void bytesSurviveInsertAndUpdate()
    {
        QVERIFY_SQL(db, "ALTER TABLE t ADD COLUMN picture BLOB NULL");
        QByteArray bytes;
        for (int i = 0; i < 256; ++i)
            bytes += char(i);
        QSqlRecord record = SqlHelper::emptyRecord("t");
        record.setValue("picture", bytes);
        QVERIFY(SqlHelper::insert("t", record));
        QCOMPARE(SqlHelper::record("t", record.value("id")).value("picture").toByteArray(), bytes);
        std::reverse(bytes.begin(), bytes.end());
        record.setValue("picture", bytes);
        QVERIFY(SqlHelper::update("t", record));
        QCOMPARE(SqlHelper::record("t", record.value("id")).value("picture").toByteArray(), bytes);
    }

    void hostileValuesKeepTheirMeaning_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("quote") << "O'Brien";
        QTest::newRow("backslash before quote") << "a\\'b";
        QTest::newRow("second statement") << "x'); DROP TABLE t; -- ";
        QTest::newRow("id with a condition") << "0 OR 1=1";
    }

    void hostileValuesKeepTheirMeaning()
    {
        QFETCH(QString, value);
        QVERIFY_SQL(db, "INSERT INTO t (id, name) VALUES (1, 'bystander')");
        QSqlRecord record = row(QVariant(), value);
        QVERIFY(SqlHelper::insert("t", record));
        const QVariant id = record.value("id");
        QCOMPARE(SqlHelper::record("t", id).value("name").toString(), value);
        QCOMPARE(SqlHelper::select("t", "name='" + SqlHelper::escape(value) + "'").size(), 1);
        QVERIFY(SqlHelper::save("t", row(id, value + value)));
        QCOMPARE(SqlHelper::record("t", id).value("name").toString(), value + value);
        // An id made of the value finds nothing and inserts rather than touching another row, and
        // removes nothing.
        QVERIFY(SqlHelper::save("t", row(value, "by hostile id")));
        QVERIFY(!SqlHelper::remove("t", QVariant(value)));
        QVERIFY(SqlHelper::remove("t", "name='" + SqlHelper::escape(value + value) + "'"));
        QCOMPARE(db.scalar("SELECT GROUP_CONCAT(name ORDER BY id) FROM t").toString(),
                 QString("bystander,by hostile id"));
    }

    // Inside a transaction the maximum comes from the transaction's snapshot; a row another
    // connection committed since then makes the computed id collide.
    void insertTakesFreshIdAfterCollision()
    {
        QVERIFY_SQL(db, "INSERT INTO t (id, name) VALUES (1, 'first')");
        QSqlDatabase connection = QSqlDatabase::database();
        QVERIFY(connection.transaction());
        QCOMPARE(SqlHelper::lastId("t"), 1);
        QVERIFY_SQL(db, "INSERT INTO t (id, name) VALUES (2, 'other'), (3, 'another')");
        MessageCapture capture;
        QSqlRecord record = row(QVariant(), "mine");
        QVERIFY(SqlHelper::insert("t", record));
        QVERIFY(connection.commit());
        QCOMPARE(record.value("id"), db.scalar("SELECT id FROM t WHERE name = 'mine'"));
        QCOMPARE(capture.lines().filter("Duplicate entry").size(), 2);
        QCOMPARE(db.scalar("SELECT GROUP_CONCAT(name ORDER BY id) FROM t").toString(),
                 QString("first,other,another,mine"));
    }

    // Last: it lays the metadata tables out anew.
    // Metadata tables as a group's own database may have them: no ids of their own, no server
    // counter, a column the program never names. Both readings agree, and another user's mark
    // survives a save with what it holds.
    void metadataTablesOfAnotherLayout()
    {
        QVERIFY_SCRIPT(db, expected(R"(DROP TABLE ext_records_fields, ext_records_monitorings,
      ext_records_tasks;
    CREATE TABLE ext_records_fields (ext_record_id INT, field_name VARCHAR(64), state INT,
      note VARCHAR(20) NOT NULL DEFAULT 'none', KEY (ext_record_id));
    CREATE TABLE ext_records_monitorings (ext_record_id INT, user_id INT,
      note VARCHAR(20) NOT NULL DEFAULT 'none', KEY (ext_record_id));
    CREATE TABLE ext_records_tasks (ext_record_id INT, title VARCHAR(9),
      note VARCHAR(20) NOT NULL DEFAULT 'none', KEY (ext_record_id));
    ALTER TABLE ext_records MODIFY id INT NOT NULL,
      ADD COLUMN IF NOT EXISTS group_id INT NULL DEFAULT 3;
    ALTER TABLE t MODIFY id INT NOT NULL;
    INSERT INTO t (id, a, b) VALUES (5, 'five', 5);
    INSERT INTO ext_records (id, table_name, table_id) VALUES (10, 't', 5);
    -- Two rows for b: the later one wins.
    INSERT INTO ext_records_fields (ext_record_id, field_name, state) VALUES (10, 'a', 1),
      (10, 'B', -1), (10, 'b', 1);
    INSERT INTO ext_records_tasks (ext_record_id) VALUES (10);
    INSERT INTO ext_records_monitorings (ext_record_id, user_id, note) VALUES (10, {a}, 'none'),
      (10, {b}, 'bob''s'))"));
        ExtRecord one = loadRow(5);
        ExtRecord all;
        all.setValues(SqlHelper::record("t", 5));
        QString error;
        QVERIFY2(ExtMetadata::readRecords({&all}, "t", QString::number(alice), all, &error),
                 qPrintable(error));
        for (const ExtRecord &read : {one, all})
            QVERIFY(read.state("a") == 1 && read.state("b") == 1 && read.marked);

        one.setValue("a", "changed");
        one.setState(2, -1);
        one.marked = false;
        QVERIFY(ExtRecordStore("t", alice).save(one));
        QCOMPARE(db.scalar("SELECT GROUP_CONCAT(CONCAT_WS('/', user_id, note)) FROM "
                           "ext_records_monitorings")
                     .toString(),
                 expected("{b}/bob's"));
        QCOMPARE(snapshot(), expected("5/changed/5 | t/5/{a}/{a} | t/5/a/-1,t/5/b/1 | t/5/{b} | "));
    }

private:
    ExtRecord loadRow(int id) const
    {
        ExtRecord record;
        record.setValues(SqlHelper::record("t", id));
        ExtMetadata::readRecord(record, "t", QString::number(alice), record);
        return record;
    }

    // Row 5 reviewed by bob in 2020: states on a and b, marks by both users, two tasks; row 5 of
    // another table has metadata of its own.
    void addReviewedRow()
    {
        QVERIFY_SCRIPT(db, expected(R"(INSERT INTO t (id, a, b) VALUES (4, 'four', 4),
      (5, 'five', 5);
    INSERT INTO ext_records (id, table_name, table_id, created_user_id, created, modified_user_id,
      modified) VALUES (10, 't', 5, {b}, '2020-01-02 03:04:05', {b}, '2020-02-03 04:05:06'),
      (11, 'other', 5, {b}, '2019-01-01 00:00:00', {b}, NULL);
    INSERT INTO ext_records_fields (ext_record_id, field_name, state) VALUES (10, 'a', 1),
      (10, 'b', -1), (11, 'a', 1);
    INSERT INTO ext_records_monitorings (ext_record_id, user_id) VALUES (10, {b}), (10, {a}),
      (11, {b});
    INSERT INTO ext_records_tasks (ext_record_id, title) VALUES (10, 'one'), (10, 'two'),
      (11, 'other'))"));
    }

    // The rows of t, ext_records, fields, monitorings and tasks; stamps only when asked.
    QString snapshot(bool withStamps = false) const;
    QString expected(QString text) const
    {
        return text.replace("{a}", QString::number(alice)).replace("{b}", QString::number(bob));
    }

    void checkedSequence(const QStringList &expected) const
    {
        // Statements that need no answer travel together.
        QStringList received;
        for (const QString &sent : db.statements())
            received << sent.split(";\n");
        int from = 0;
        for (const QString &statement : expected) {
            from = received.indexOf(statement, from) + 1;
            QVERIFY2(from > 0,
                     qPrintable(statement + "\nnot in order in:\n" + received.join("\n")));
        }
    }
    QSqlRecord row(const QVariant &id, const QVariant &name) const
    {
        QSqlRecord record;
        record.append(QSqlField("id", QMetaType(QMetaType::Int)));
        record.append(QSqlField("name", QMetaType(QMetaType::QString)));
        record.setValue("id", id);
        record.setValue("name", name);
        return record;
    }
    TestDatabase db;
    int alice = 0;
    int bob = 0;
};

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

QTEST_MAIN(ExtRecordStoreTest)
#include "tst_extrecordstore.moc"
