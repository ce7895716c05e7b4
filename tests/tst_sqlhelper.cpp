#include <QSqlField>
#include <QtTest>

#include "db/sqlhelper.h"
#include "messagecapture.h"
#include "testdatabase.h"

// Single-row statements against the real server: the texts it receives, and what they do
// with ordinary and hostile values.
class SqlHelperTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void statementTexts_data();
    void statementTexts();
    void insertWritesIdsBack();
    void save_data();
    void save();
    void recordsOfNoRow();
    void bytesSurviveInsertAndUpdate();
    void hostileValuesKeepTheirMeaning_data();
    void hostileValuesKeepTheirMeaning();
    void removeByIdTakesOnlyANumber();
    void failuresAreReportedNotRun();
    void insertTakesFreshIdAfterCollision();
    void otherDuplicatesAreNotRetried();

private:
    QSqlRecord row(const QVariant &id, const QVariant &name) const;
    TestDatabase db;
};

void SqlHelperTest::initTestCase()
{
    QVERIFY_CREATE(db);
}

void SqlHelperTest::init()
{
    QVERIFY_SQL(db, "DROP TABLE IF EXISTS t");
    QVERIFY_SQL(db, "CREATE TABLE t (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, "
                    "name VARCHAR(64) NULL, amount INT NULL, day DATE NULL)");
}

void SqlHelperTest::cleanupTestCase()
{
    db.drop();
}

QSqlRecord SqlHelperTest::row(const QVariant &id, const QVariant &name) const
{
    QSqlRecord record;
    record.append(QSqlField("id", QMetaType(QMetaType::Int)));
    record.append(QSqlField("name", QMetaType(QMetaType::QString)));
    record.setValue("id", id);
    record.setValue("name", name);
    return record;
}

void SqlHelperTest::statementTexts_data()
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
    QTest::newRow("remove by id") << "removeId" << "delete from t WHERE id =5";
    // clang-format on
}

void SqlHelperTest::statementTexts()
{
    QFETCH(QString, operation);
    QFETCH(QString, statement);
    QVERIFY_SQL(db, "INSERT INTO t (id, name) VALUES (3, 'a'), (5, 'b'), (6, 'x')");
    db.markStatements();
    if (operation == "lastId") {
        QCOMPARE(SqlHelper::lastId("t"), 6);
    } else if (operation == "emptyRecord") {
        QCOMPARE(SqlHelper::emptyRecord("t").count(), 4);
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
    } else if (operation == "removeId") {
        QVERIFY(SqlHelper::remove("t", QVariant(5)));
    }
    const QStringList received = db.statements();
    QVERIFY2(received.contains(statement), qPrintable(received.join("\n")));
}

// The ids written go back into the records: the server's for a record of the table's own
// columns, the next ones after the largest for rows of other columns, all in one statement.
void SqlHelperTest::insertWritesIdsBack()
{
    QSqlRecord existing = SqlHelper::emptyRecord("t");
    existing.setValue("name", "existing");
    QVERIFY(SqlHelper::insert("t", existing));
    QCOMPARE(existing.value("id"), db.scalar("SELECT id FROM t WHERE name = 'existing'"));
    QList<QSqlRecord> records = {row(QVariant(), "a"), row(7, QVariant()), row(QVariant(), "c")};
    db.markStatements();
    QVERIFY(SqlHelper::insert("t", records));
    QCOMPARE(db.statements().filter(QRegularExpression("^INSERT")),
             QStringList("INSERT INTO t  (id,name) VALUES ('2' ,'a' ),('3' ,NULL ),('4' ,'c' )"));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(records.at(i).value("id").toInt(), i + 2);
    QList<QSqlRecord> none;
    QVERIFY(SqlHelper::insert("t", none));
    QCOMPARE(db.count("t"), 4);
}
void SqlHelperTest::save_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QVariant>("id");
    QTest::addColumn<QString>("line"); // what it says it does; empty: nothing written
    QTest::newRow("existing id") << "t" << QVariant(4) << "update t";
    QTest::newRow("null id") << "t" << QVariant() << "insert t";
    QTest::newRow("unknown id: a new row") << "t" << QVariant(40) << "insert t";
    QTest::newRow("missing table") << "nosuchtable" << QVariant(1) << "";
}

void SqlHelperTest::save()
{
    QFETCH(QString, table);
    QFETCH(QVariant, id);
    QFETCH(QString, line);
    QVERIFY_SQL(db, "INSERT INTO t (id, name) VALUES (4, 'four')");
    MessageCapture capture;
    const QSqlRecord record = row(id, "saved");
    QVariant writtenId = "stale";
    QCOMPARE(SqlHelper::save(table, record, &writtenId), !line.isEmpty());
    QCOMPARE(record.value("id"), id); // the caller's record keeps its id
    QCOMPARE(writtenId,
             line.isEmpty() ? QVariant() : db.scalar("SELECT id FROM t WHERE name = 'saved'"));
    QVERIFY(line.isEmpty() || capture.contains(line));
    QCOMPARE(db.count("t", "name = 'four'"), line == "insert t" || line.isEmpty() ? 1 : 0);
    QCOMPARE(db.count("t"), line == "insert t" ? 2 : 1);
}

void SqlHelperTest::recordsOfNoRow()
{
    for (const QSqlRecord &record : {SqlHelper::record("t", 1234), SqlHelper::emptyRecord("t")}) {
        QCOMPARE(record.count(), 4);
        QCOMPARE(record.fieldName(3), QString("day"));
        for (int i = 0; i < record.count(); ++i)
            QVERIFY(record.isNull(i));
    }
    QCOMPARE(SqlHelper::lastId("t"), 0);
    // Table names are case-sensitive.
    QVERIFY(SqlHelper::tableExists("t") && !SqlHelper::tableExists("T"));
    QVERIFY(!SqlHelper::tableExists("nosuchtable"));
}
void SqlHelperTest::bytesSurviveInsertAndUpdate()
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
void SqlHelperTest::hostileValuesKeepTheirMeaning_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("quote") << "O'Brien";
    QTest::newRow("backslash") << "a\\b";
    QTest::newRow("backslash before quote") << "a\\'b";
    QTest::newRow("condition") << "' OR '1'='1";
    QTest::newRow("second statement") << "x'); DROP TABLE t; -- ";
    QTest::newRow("double quote") << "say \"hi\"";
}

void SqlHelperTest::hostileValuesKeepTheirMeaning()
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
    // An id made of the value finds nothing and inserts rather than touching another row.
    QVERIFY(SqlHelper::save("t", row(value, "by hostile id")));
    QVERIFY(SqlHelper::remove("t", "name='" + SqlHelper::escape(value + value) + "'"));
    QCOMPARE(db.scalar("SELECT GROUP_CONCAT(name ORDER BY id) FROM t").toString(),
             QString("bystander,by hostile id"));
}
void SqlHelperTest::removeByIdTakesOnlyANumber()
{
    QVERIFY_SQL(db, "INSERT INTO t (id, name) VALUES (1, 'a'), (2, 'b')");
    QVERIFY(!SqlHelper::remove("t", QVariant("1 OR 1=1")));
    QVERIFY(SqlHelper::remove("t", QVariant("2")));
    QCOMPARE(db.scalar("SELECT GROUP_CONCAT(id) FROM t").toString(), QString("1"));
}
void SqlHelperTest::failuresAreReportedNotRun()
{
    MessageCapture capture;
    QSqlRecord record = row(QVariant(), "x");
    QVERIFY(!SqlHelper::insert("no_such_table", record));
    QVERIFY(!SqlHelper::update("no_such_table", row(1, "x")));
    QVERIFY(!SqlHelper::remove("no_such_table", QString("id=1")));
    QVERIFY(!SqlHelper::remove("no_such_table", QVariant(1)));
    QCOMPARE(SqlHelper::lastId("no_such_table"), 0);
    QVERIFY(SqlHelper::select("no_such_table", "1=1").isEmpty());
    QVERIFY(capture.contains("delete from no_such_table WHERE id=1"));
    QVERIFY2(!capture.lines().filter("doesn't exist").isEmpty(),
             qPrintable(capture.lines().join("\n")));
}
// Inside a transaction the maximum comes from the transaction's snapshot; a row another
// connection committed since then makes the computed id collide.
void SqlHelperTest::insertTakesFreshIdAfterCollision()
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
void SqlHelperTest::otherDuplicatesAreNotRetried()
{
    QVERIFY_SQL(db, "CREATE UNIQUE INDEX t_name ON t (name)");
    QVERIFY_SQL(db, "INSERT INTO t (id, name) VALUES (1, 'taken')");
    MessageCapture capture;
    QSqlRecord record = row(QVariant(), "taken");
    QVERIFY(!SqlHelper::insert("t", record));
    QCOMPARE(capture.lines().filter("INSERT INTO").size(), 1);
    QCOMPARE(db.count("t"), 1);
}

QTEST_MAIN(SqlHelperTest)
#include "tst_sqlhelper.moc"
