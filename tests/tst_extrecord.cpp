#include <QSqlField>
#include <QtTest>

#include "messagecapture.h"
#include "model/extmetadata.h"
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
    void setValuesKeepsMetadata();
    void resolveRelations_data();
    void resolveRelations();
    void resolveWritesStatementAndSkipsIncomplete();
    void cacheSendsEachLookupOnce();

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

// A copy starts clean but keeps the mark and metadata, with an entry for every field; an
// assignment keeps the flags too.
void ExtRecordTest::copyAndAssignment()
{
    ExtRecord original = withFields({"id", "group_id", "Name"});
    original.setValue("Name", "x");
    original.dirty = true;
    original.deleted = true;
    original.marked = true;
    const QDateTime created(QDate(2020, 1, 2), QTime(3, 4, 5));
    original.setCreated(created, 11);
    original.setState(2, 1);
    original.setState(-1, -1);
    original.setRelation(1, QSqlRelation("groups", "id", "name"));
    original.displayValues.insert(1, "third");
    original.labels.insert(2, "Full name");
    original.labels.insert(1, "");

    const ExtRecord copy(original);
    QVERIFY(!copy.dirty);
    QVERIFY(!copy.deleted);
    QVERIFY(copy.marked);
    QCOMPARE(copy.created, created);
    QCOMPARE(copy.createdUserId, QVariant(11));
    QCOMPARE(copy.value("Name").toString(), QString("x"));
    QCOMPARE(copy.states, (QMap<int, int>{{0, 0}, {1, 0}, {2, 1}}));
    QCOMPARE(copy.state("NAME"), 1);
    QCOMPARE(copy.state("nosuch"), 0);
    // An empty label shows the field's name.
    QCOMPARE(copy.label(1), QString("group_id"));
    QCOMPARE(copy.label(2), QString("Full name"));
    QCOMPARE(copy.relations.keys(), (QList<int>{0, 1, 2}));
    QCOMPARE(copy.relation(1).tableName(), QString("groups"));
    QCOMPARE(copy.displayValue(1).toString(), QString("third"));
    QVERIFY(!copy.displayValue(0).isValid());

    // A copy of a copy holds every entry already and shares the maps; a change stays its own.
    ExtRecord second(copy);
    QCOMPARE(second.states, copy.states);
    QCOMPARE(second.labels, (QMap<int, QString>{{0, "id"}, {1, "group_id"}, {2, "Full name"}}));
    QCOMPARE(second.displayValue(1).toString(), QString("third"));
    second.setState(0, -1);
    second.labels.insert(1, "Group");
    QCOMPARE(copy.state(0), 0);
    QCOMPARE(copy.label(1), QString("group_id"));

    ExtRecord assigned;
    assigned = original;
    QVERIFY(assigned.dirty);
    QVERIFY(assigned.deleted);
    QCOMPARE(assigned.state(-1), -1);
}

void ExtRecordTest::progress_data()
{
    QTest::addColumn<int>("fields");
    QTest::addColumn<QList<int>>("states"); // field, state, field, state, ...
    QTest::addColumn<int>("expected");
    // clang-format off
    QTest::newRow("5 columns, one valid") << 5 << QList<int>{2, 1} << 66;
    QTest::newRow("4 columns, error and valid") << 4 << QList<int>{2, -1, 3, 1} << 50;
    QTest::newRow("all error") << 4 << QList<int>{2, -1, 3, -1} << 0;
    QTest::newRow("orphan state counts") << 4 << QList<int>{-1, 1, 2, 1} << 100;
    QTest::newRow("replaced state counts once") << 5 << QList<int>{2, 1, 2, -1} << 33;
    QTest::newRow("states beyond the scale") << 3 << QList<int>{0, 1, 1, 1, 2, 1} << 200;
    QTest::newRow("two fields, valid") << 2 << QList<int>{0, 1} << 100;
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

void ExtRecordTest::setValuesKeepsMetadata()
{
    ExtRecord record = withFields({"a", "b", "c"});
    record.setState(1, 1);
    record.labels.insert(0, "A");
    record.dirty = true;
    QSqlRecord row;
    row.append(QSqlField("id", QMetaType(QMetaType::Int)));
    row.setValue(0, 7);
    record.setValues(row);
    QCOMPARE(record.count(), 1);
    QCOMPARE(record.value(0).toInt(), 7);
    QCOMPARE(record.state(1), 1);
    QCOMPARE(record.labels.value(0), QString("A"));
    QVERIFY(record.dirty);
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
    ExtMetadata::resolveRelations(record);
    const QVariant value = record.displayValue(1);
    QCOMPARE(value.isValid(), valid);
    if (expected.isValid())
        QCOMPARE(value.toString(), expected.toString());
    else
        QVERIFY(value.isNull());
    // The same answer, of the same type, when fetched for many records at once.
    ExtRecord other(record);
    other.displayValues.clear();
    QHash<QString, QVariant> cache;
    ExtMetadata::fetchDisplayValues({&other}, &cache);
    QCOMPARE(cache.size(), valid ? 1 : 0);
    ExtMetadata::resolveRelations(other, &cache);
    QCOMPARE(other.displayValue(1).metaType(), value.metaType());
    QCOMPARE(other.displayValue(1).isNull(), value.isNull());
    QCOMPARE(other.displayValue(1), value);
    QCOMPARE(db.count("codes"), 3);
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
    ExtMetadata::resolveRelations(record);
    QCOMPARE(capture.lines(), QStringList{"\"select name FROM groups WHERE id='3'\""});
    QCOMPARE(db.statements().filter("FROM groups"),
             QStringList{"select name FROM groups WHERE id='3'"});
    QVERIFY(!record.displayValues.contains(2));
}

void ExtRecordTest::cacheSendsEachLookupOnce()
{
    QHash<QString, QVariant> cache;
    db.markStatements();
    QStringList shown;
    for (const QVariant key : {QVariant(3), QVariant(4), QVariant(3), QVariant(30), QVariant(4)}) {
        ExtRecord record = withFields({"id", "group_id"});
        record.setValue("group_id", key);
        record.setRelation(1, QSqlRelation("groups", "id", "name"));
        ExtMetadata::resolveRelations(record, &cache);
        shown << record.displayValue(1).toString();
    }
    QCOMPARE(shown, (QStringList{"third", "fourth", "third", "thirty", "fourth"}));
    QCOMPARE(db.statements().filter("select name FROM groups WHERE id=").size(), 3);
}

QTEST_MAIN(ExtRecordTest)
#include "tst_extrecord.moc"
