#include <QSqlField>
#include <QtTest>

#include "messagecapture.h"
#include "model/extrecord.h"
#include "testdatabase.h"

// The row value with its metadata: copy rules, progress, labels, and relation lookups on the
// real server.
class ExtRecordTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { db.drop(); }

    void copyAndAssignment();
    void progress_data();
    void progress();
    void resolveRelations_data();
    void resolveRelations();
    void resolveWritesStatementAndSkipsIncomplete();

private:
    static ExtRecord withFields(const QStringList &names);
    TestDatabase db;
};

void ExtRecordTest::initTestCase()
{
    QVERIFY_CREATE(db);
    QVERIFY_SQL(db, "INSERT INTO groups (id, name) VALUES (3, 'third'), (4, 'fourth'), "
                    "(30, 'thirty')");
    QVERIFY_SQL(db, "CREATE TABLE codes (code VARCHAR(16) NOT NULL, title VARCHAR(64) NULL)");
    QVERIFY_SQL(db, "INSERT INTO codes VALUES ('abc', 'Alpha'), ('q''x', 'Quoted'), "
                    "('nul', NULL)");
}

ExtRecord ExtRecordTest::withFields(const QStringList &names)
{
    ExtRecord record;
    for (const QString &name : names)
        record.append(QSqlField(name, QMetaType(QMetaType::QString)));
    return record;
}

// A copy starts clean but keeps the mark and metadata, with an entry for every field, and a
// change to it stays its own; an assignment keeps the flags too.
void ExtRecordTest::copyAndAssignment()
{
    ExtRecord original = withFields({"id", "group_id", "Name"});
    original.dirty = original.deleted = original.marked = true;
    const QDateTime created(QDate(2020, 1, 2), QTime(3, 4, 5));
    original.setCreated(created, 11);
    original.setState(2, 1);
    original.setState(-1, -1);
    original.setRelation(1, QSqlRelation("groups", "id", "name"));
    original.displayValues.insert(1, "third");
    original.labels.insert(2, "Full name");
    original.labels.insert(1, ""); // shows the field's name

    const ExtRecord copy(original);
    QVERIFY(!copy.dirty && !copy.deleted && copy.marked);
    QCOMPARE(copy.created, created);
    QCOMPARE(copy.createdUserId, QVariant(11));
    QCOMPARE(copy.states, (QMap<int, int>{{0, 0}, {1, 0}, {2, 1}}));
    QVERIFY(copy.state("NAME") == 1 && copy.state("nosuch") == 0);
    QCOMPARE(copy.labels, (QMap<int, QString>{{0, "id"}, {1, "group_id"}, {2, "Full name"}}));
    QCOMPARE(copy.relations.keys(), (QList<int>{0, 1, 2}));
    QCOMPARE(copy.displayValue(1).toString(), QString("third"));
    ExtRecord second(copy);
    second.setState(0, -1);
    second.labels.insert(1, "Group");
    QVERIFY(copy.state(0) == 0 && copy.label(1) == "group_id");

    ExtRecord assigned;
    assigned = original;
    QVERIFY(assigned.dirty && assigned.deleted && assigned.state(-1) == -1);
}
void ExtRecordTest::progress_data()
{
    QTest::addColumn<int>("fields");
    QTest::addColumn<QList<int>>("states"); // field, state, field, state, ...
    QTest::addColumn<int>("expected");
    // clang-format off
    QTest::newRow("5 columns, one valid") << 5 << QList<int>{2, 1} << 66;
    QTest::newRow("4 columns, error and valid") << 4 << QList<int>{2, -1, 3, 1} << 50;
    QTest::newRow("orphan state counts") << 4 << QList<int>{-1, 1, 2, 1} << 100;
    QTest::newRow("replaced state counts once") << 5 << QList<int>{2, 1, 2, -1} << 33;
    QTest::newRow("states beyond the scale") << 3 << QList<int>{0, 1, 1, 1, 2, 1} << 200;
    QTest::newRow("no fields") << 0 << QList<int>{} << 50;
    // clang-format on
}

void ExtRecordTest::progress()
{
    QFETCH(int, fields);
    QFETCH(QList<int>, states);
    QFETCH(int, expected);
    QStringList names;
    for (int i = 0; i < fields; ++i)
        names << QString("f%1").arg(i);
    ExtRecord record = withFields(names);
    for (int i = 0; i + 1 < states.size(); i += 2)
        record.setState(states.at(i), states.at(i + 1));
    QCOMPARE(record.progress(), expected);
}

void ExtRecordTest::resolveRelations_data()
{
    QTest::addColumn<QStringList>("relation");
    QTest::addColumn<QVariant>("key");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<bool>("valid");
    const QStringList groups{"groups", "id", "name"};
    const QStringList codes{"codes", "code", "title"};
    // clang-format off
    QTest::newRow("number as quoted text") << groups << QVariant("03") << QVariant("third") << true;
    QTest::newRow("case of a text key") << codes << QVariant("ABC") << QVariant("Alpha") << true;
    QTest::newRow("trailing blank") << codes << QVariant("abc ") << QVariant("Alpha") << true;
    QTest::newRow("quote in the key") << codes << QVariant("q'x") << QVariant("Quoted") << true;
    QTest::newRow("unknown key") << groups << QVariant(99) << QVariant() << true;
    QTest::newRow("null key") << groups << QVariant() << QVariant() << true;
    QTest::newRow("null display") << codes << QVariant("nul") << QVariant() << true;
    QTest::newRow("missing table") << QStringList{"nosuch", "id", "name"} << QVariant(3)
            << QVariant() << false;
    // clang-format on
}

void ExtRecordTest::resolveRelations()
{
    QFETCH(QStringList, relation);
    QFETCH(QVariant, key);
    QFETCH(QVariant, expected);
    QFETCH(bool, valid);
    ExtRecord record = withFields({"id", "ref"});
    record.setValue("ref", key);
    record.setRelation(1, QSqlRelation(relation.at(0), relation.at(1), relation.at(2)));
    record.resolveRelations();
    const QVariant value = record.displayValue(1);
    QCOMPARE(value.isValid(), valid);
    QCOMPARE(value.isNull(), expected.isNull());
    QCOMPARE(value.toString(), expected.toString());
    // The same answer, of the same type, when fetched for many records at once.
    ExtRecord other(record);
    other.displayValues.clear();
    QHash<QString, QVariant> cache;
    ExtRecord::fetchDisplayValues({&other}, &cache);
    QCOMPARE(cache.size(), valid ? 1 : 0);
    other.resolveRelations(&cache);
    QCOMPARE(other.displayValue(1).metaType(), value.metaType());
    QCOMPARE(other.displayValue(1), value);
}

void ExtRecordTest::resolveWritesStatementAndSkipsIncomplete()
{
    ExtRecord record = withFields({"id", "group_id", "other"});
    record.setValue("group_id", 3);
    record.setValue("other", 4);
    record.setRelation(1, QSqlRelation("groups", "id", "name"));
    record.setRelation(2, QSqlRelation("groups", "id", ""));
    MessageCapture capture;
    db.markStatements();
    record.resolveRelations();
    QCOMPARE(capture.lines(), QStringList{"\"select name FROM groups WHERE id='3'\""});
    QCOMPARE(db.statements().filter("FROM groups"),
             QStringList{"select name FROM groups WHERE id='3'"});
    QVERIFY(!record.displayValues.contains(2));
}

QTEST_MAIN(ExtRecordTest)
#include "tst_extrecord.moc"
