#include <QFont>
#include <QIcon>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSqlField>
#include <QSqlQuery>
#include <QtTest>

#include "core/stavimor.h"
#include "db/sqlhelper.h"
#include "model/extmetadata.h"
#include "model/extmodel.h"
#include "testdatabase.h"
#include "testhelpers.h"

// The record model on the real server: visibility, columns and roles, in-memory row operations,
// saving with its messages, and the batched loading checked against the per-row reading.
class ExtModelTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void columnsAndHeaders();
    void visibilityStatementText();
    void loading_data();
    void loading();
    void dataRoles();
    void laterStateWinsWhateverTheCase();
    void rowOperationsOutsideTheList_data();
    void rowOperationsOutsideTheList();
    void insertRecord();
    void removeRecord();
    void setDataMarksTheRowDirty();
    void statesAndMarks();
    void saveWithNothingFlagged();
    void saveWritesAndReloads();
    void saveRecordAndDeleteRecordWorkOnACopy();
    void failedSaveKeepsWrittenRowsWritten();
    void failedDeleteIsReported();
    void loadingStatementsPerTable_data();
    void loadingStatementsPerTable();
    void batchedLoadingEqualsPerRowReading_data();
    void batchedLoadingEqualsPerRowReading();

private:
    void login(int userId) { TestHelpers::logIn(userId); }
    void exec(const QString &sql) { QVERIFY_SQL(db, sql); }
    static int rowOf(const ExtModel &model, int id) { return TestHelpers::rowOf(model, id); }
    static QStringList texts(const QSignalSpy &spy);
    static QString describe(const ExtRecord &record);
    TestDatabase db;
    int alice = 0;
    int bob = 0;
    int loner = 0;
};

void ExtModelTest::initTestCase()
{
    QVERIFY_CREATE(db);
    alice = db.addUser("alice", "a");
    bob = db.addUser("bob", "b");
    loner = db.addUser("loner", "l");
    exec("INSERT INTO groups (id, name) VALUES (7, 'seven'), (8, 'eight'), (9, 'nine')");
    db.addMembership(7, alice);
    db.addMembership(9, alice);
    db.addMembership(8, bob);
    exec("CREATE TABLE empty (id INT PRIMARY KEY, name VARCHAR(64) NULL, group_id INT NULL)");
}

void ExtModelTest::init()
{
    for (const QString &statement :
         {"DROP TABLE IF EXISTS items", "DROP TRIGGER IF EXISTS refuse",
          "CREATE TABLE items (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, name VARCHAR(64) NULL, "
          "group_id INT NULL) ENGINE=InnoDB",
          "INSERT INTO items (id, name, group_id) VALUES (1, 'open', NULL), (2, 'zero', 0), "
          "(3, 'seven', 7), (4, 'eight', 8)",
          "DELETE FROM ext_records", "DELETE FROM ext_records_fields",
          "DELETE FROM ext_records_monitorings", "DELETE FROM ext_records_tasks"})
        exec(statement);
    login(alice);
}

void ExtModelTest::cleanupTestCase()
{
    delete Stavimor::instance();
    db.drop();
}

QStringList ExtModelTest::texts(const QSignalSpy &spy)
{
    QStringList result;
    for (const QList<QVariant> &signal : spy)
        result << signal.at(0).toString();
    return result;
}

void ExtModelTest::columnsAndHeaders()
{
    ExtModel model("items");
    QStringList headers;
    for (int c = 0; c < model.columnCount(); ++c)
        headers << model.headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headers, (QStringList{"M", "progress", "id", "name", "group_id"}));
    QCOMPARE(model.rowCount(), 0);
    model.setLabel(1, "Name");
    QVERIFY(model.setHeaderData(4, Qt::Horizontal, "Group", Qt::DisplayRole));
    QCOMPARE(model.headerData(4, Qt::Horizontal).toString(), QString("Group"));
    // The mark and progress columns, the rows and other roles take no header.
    QVERIFY(!model.setHeaderData(1, Qt::Horizontal, "x", Qt::DisplayRole));
    QVERIFY(!model.setHeaderData(3, Qt::Vertical, "x", Qt::DisplayRole));
    QVERIFY(!model.setHeaderData(3, Qt::Horizontal, "x", Qt::EditRole));
    // Labels stay when the columns are read again.
    model.setTable("items");
    QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QString("Name"));

    // The blank record is handed out cleared of earlier values, typed as the columns.
    model.select();
    model.columnRecord.setValue(1, "stale");
    const ExtRecord &blank = model.record();
    QCOMPARE(blank.count(), 3);
    for (int i = 0; i < blank.count(); ++i)
        QVERIFY(blank.isNull(i));
    QCOMPARE(blank.field(0).metaType().id(), int(QMetaType::Int));
}

void ExtModelTest::visibilityStatementText()
{
    const QString expected =
        QString("(SELECT t.* from items t ,groups_users gu  WHERE t.group_id = gu.group_id AND "
                "gu.user_id=%1) UNION (SELECT t.* from items t WHERE  t.group_id=0 OR "
                "ISNULL(t.group_id)) ")
            .arg(alice);
    db.markStatements();
    ExtModel model("items");
    QCOMPARE(model.query, expected);
    // The server drops the trailing blank of every statement it receives.
    QVERIFY2(db.statements().contains(expected.trimmed()), qPrintable(db.statements().join("\n")));
    db.markStatements();
    model.select();
    QVERIFY(db.statements().contains(expected.trimmed()));
}

void ExtModelTest::loading_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QList<int>>("ids");
    QTest::newRow("member of 7 and 9") << "items"
                                       << "alice" << QList<int>{1, 2, 3};
    QTest::newRow("member of 8") << "items"
                                 << "bob" << QList<int>{1, 2, 4};
    QTest::newRow("in no group") << "items"
                                 << "loner" << QList<int>{1, 2};
    QTest::newRow("nobody logged in") << "items"
                                      << "" << QList<int>{};
    QTest::newRow("empty table") << "empty"
                                 << "alice" << QList<int>{};
    QTest::newRow("missing table") << "nosuch"
                                   << "alice" << QList<int>{};
    QTest::newRow("second statement") << "items t; DROP TABLE users; --"
                                      << "alice" << QList<int>{};
    QTest::newRow("backtick") << "items`; DROP TABLE users; --"
                              << "alice" << QList<int>{};
}

// The rows a user may see, and the messages and progress of the loading: one step per row.
void ExtModelTest::loading()
{
    QFETCH(QString, table);
    QFETCH(QString, user);
    QFETCH(QList<int>, ids);
    login(user == "alice" ? alice : user == "bob" ? bob : user == "loner" ? loner : 0);
    ExtModel model(table);
    QCOMPARE(model.columnCount(),
             (table == "items" || table == "empty") && !user.isEmpty() ? 5 : 2);
    QSignalSpy messages(&model, &ExtModel::messageChanged);
    QSignalSpy progress(&model, &ExtModel::progress);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QVERIFY(model.select());
    QList<int> seen;
    for (const ExtRecord *record : model.records)
        seen << record->value("id").toInt();
    std::sort(seen.begin(), seen.end());
    QCOMPARE(seen, ids);
    QStringList steps;
    QStringList percents;
    for (int i = 0; i < ids.size(); ++i) {
        steps << QString("loading %1").arg(i);
        percents << QString::number(i * 100 / ids.size());
    }
    QCOMPARE(texts(messages), steps << "loading finish");
    QCOMPARE(texts(progress), percents << "100");
    QCOMPARE(model.message, QString("loading finish"));
    QCOMPARE(reset.count(), 1);
    QVERIFY(model.save());
    QCOMPARE(db.count("users"), 3);
    QCOMPARE(db.count("items"), 4);
}

void ExtModelTest::dataRoles()
{
    exec(QString("INSERT INTO ext_records (id, table_name, table_id) VALUES (1, 'items', 3), "
                 "(2, 'items', 1);"));
    exec(QString("INSERT INTO ext_records_monitorings (ext_record_id, user_id) VALUES (1, %1), "
                 "(2, %2)")
             .arg(alice)
             .arg(bob));
    exec("INSERT INTO ext_records_fields (ext_record_id, field_name, state) VALUES (1, 'name', 1)");
    ExtModel model("items");
    model.setRelation(2, QSqlRelation("groups", "id", "name"));
    model.select();
    const int marked = rowOf(model, 3);
    const int plain = rowOf(model, 1); // marked by another user only
    QVERIFY(marked >= 0 && plain >= 0);

    QVERIFY(model.isMarked(marked));
    QVERIFY(!model.isMarked(plain));
    for (int c = 0; c < model.columnCount(); ++c) {
        QCOMPARE(model.data(model.index(marked, c), Qt::FontRole).value<QFont>().weight(),
                 QFont::Bold);
        QCOMPARE(model.data(model.index(marked, c), Qt::BackgroundRole).value<QColor>(),
                 QColor(45, 69, 116, 255));
        QCOMPARE(model.data(model.index(marked, c), Qt::ForegroundRole).value<QColor>(),
                 QColor(Qt::white));
        QCOMPARE(model.data(model.index(plain, c), Qt::FontRole).value<QFont>().weight(),
                 QFont::Normal);
        QVERIFY(!model.data(model.index(plain, c), Qt::BackgroundRole).isValid());
        QVERIFY(!model.data(model.index(plain, c), Qt::ForegroundRole).isValid());
        QVERIFY(!model.data(model.index(marked, c), Qt::EditRole).isValid());
        QVERIFY(!model.data(model.index(plain, c), Qt::DecorationRole).isValid());
    }
    const QIcon star = model.data(model.index(marked, 0), Qt::DecorationRole).value<QIcon>();
    QVERIFY(!star.isNull());
    QCOMPARE(star.pixmap(16, 16).toImage(), QIcon(":/16x16/star.png").pixmap(16, 16).toImage());
    QVERIFY(!model.data(model.index(marked, 1), Qt::DecorationRole).isValid());

    QVERIFY(!model.data(model.index(marked, 0)).isValid());
    const QVariant progress = model.data(model.index(marked, 1));
    QCOMPARE(progress.metaType().id(), int(QMetaType::Int));
    QCOMPARE(progress.toInt(), 100); // one field of one reviewed column valid
    QCOMPARE(model.data(model.index(plain, 1)).toInt(), 50);
    QCOMPARE(model.data(model.index(marked, 3)).toString(), QString("seven"));
    QCOMPARE(model.data(model.index(marked, 4)).toString(), QString("seven")); // the group's name
    QVERIFY(model.data(model.index(plain, 4)).isNull());
    QCOMPARE(model.data(model.index(marked, 2)).toInt(), 3);

    QCOMPARE(model.flags(model.index(0, 0)), Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    QCOMPARE(model.flags(model.index(0, 1)), Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    QCOMPARE(model.flags(model.index(0, 3)),
             Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsEnabled);
}

void ExtModelTest::laterStateWinsWhateverTheCase()
{
    exec("INSERT INTO ext_records (id, table_name, table_id) VALUES (1, 'items', 1)");
    exec("INSERT INTO ext_records_fields (id, ext_record_id, field_name, state) VALUES "
         "(1, 1, 'Name', 1), (2, 1, 'name', -1), (3, 1, 'GROUP_ID', 1), (4, 1, 'gone', 1)");
    ExtModel model("items");
    model.select();
    const ExtRecord *loaded = model.records.at(rowOf(model, 1));
    ExtRecord reference(model.columnRecord);
    reference.setValues(SqlHelper::record("items", 1));
    ExtMetadata::readRecord(reference, "items", QString::number(alice), model.columnRecord);
    for (const ExtRecord *record : {loaded, static_cast<const ExtRecord *>(&reference)}) {
        QCOMPARE(record->state(1), -1);
        QCOMPARE(record->state(2), 1);
        QCOMPARE(record->state(-1), 1);
        QCOMPARE(record->progress(), 100); // sum 1 (the orphan counts) over one reviewed field
    }
}

void ExtModelTest::rowOperationsOutsideTheList_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("row");
    for (const QString &operation :
         {"removeRecord", "setMarked", "toggleMark", "isMarked", "setState", "setData"}) {
        for (const int row : {-1, -2, 3, 4, 1000}) {
            QTest::addRow("%s(%d)", qPrintable(operation), row) << operation << row;
        }
    }
    QTest::newRow("insertRecord(rowCount)") << "insertRecord" << 3;
    QTest::newRow("insertRecord(past the end)") << "insertRecord" << 7;
}

void ExtModelTest::rowOperationsOutsideTheList()
{
    QFETCH(QString, operation);
    QFETCH(int, row);
    ExtModel model("items");
    model.select();
    QCOMPARE(model.rowCount(), 3);
    model.setMarked(1, true); // one row already flagged, so nothing can hide behind a flag
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    auto flags = [&] {
        QStringList all;
        for (const ExtRecord *r : model.records)
            all << QString("%1%2%3%4")
                       .arg(r->dirty)
                       .arg(r->deleted)
                       .arg(r->marked)
                       .arg(r->states.value(0));
        return all.join(",");
    };
    const QString before = flags();
    bool result = false;
    if (operation == "removeRecord")
        result = model.removeRecord(row);
    else if (operation == "setMarked")
        model.setMarked(row, true);
    else if (operation == "toggleMark")
        model.toggleMark(row);
    else if (operation == "isMarked")
        result = model.isMarked(row);
    else if (operation == "setState")
        model.setState(row, 0, 1);
    else if (operation == "setData")
        result = model.setData(model.index(row, 3), "x");
    else if (operation == "insertRecord")
        result = model.insertRecord(row);
    QVERIFY(!result);
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(flags(), before);
    QCOMPARE(changed.count() + removed.count() + inserted.count(), 0);
    QVERIFY(!model.headerData(row, Qt::Vertical).isValid());
}

void ExtModelTest::insertRecord()
{
    exec("DELETE FROM items");
    ExtModel model("items");
    model.setLabel(1, "Name");
    model.select();
    model.columnRecord.setValue("id", 1);
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(!model.insertRecord(0));
    QVERIFY(model.insertRecord(-1));
    QCOMPARE(model.rowCount(), 1);
    const ExtRecord *first = model.records.at(0);
    QVERIFY(first->dirty);
    QCOMPARE(first->count(), 3);
    QVERIFY(first->value("id").isNull());
    QCOMPARE(first->label(1), QString("Name"));
    QCOMPARE(model.headerData(0, Qt::Vertical).toString(), QString("*"));
    QVERIFY(!model.insertRecord(1));
    QVERIFY(model.insertRecord(0));
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.records.at(1), first); // inserted before the existing row
    QVERIFY(model.insertRecord(-5));
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.records.at(1), first);
    QCOMPARE(db.count("items"), 0);
}

void ExtModelTest::removeRecord()
{
    ExtModel model("items");
    model.select();
    const int row = rowOf(model, 2);
    QVERIFY(model.removeRecord(row));
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.headerData(row, Qt::Vertical).toString(), QString("!"));
    QVERIFY(model.records.at(row)->deleted);
    QVERIFY(model.removeRecord(row)); // withdraws the deletion
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(rowOf(model, 2), -1);

    QVERIFY(model.insertRecord(-1));
    QCOMPARE(model.rowCount(), 3);
    QVERIFY(model.removeRecord(2));
    QCOMPARE(model.rowCount(), 2);

    QVERIFY(model.setData(model.index(0, 3), "edited"));
    QVERIFY(model.removeRecord(0));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(db.count("items"), 4);
    QCOMPARE(db.count("items", "name = 'edited'"), 0);
}

void ExtModelTest::setDataMarksTheRowDirty()
{
    ExtModel model("items");
    model.setRelation(2, QSqlRelation("groups", "id", "name"));
    model.select();
    QCOMPARE(model.headerData(2, Qt::Vertical).toInt(), 2);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(model.setData(model.index(2, 2), 99));
    QCOMPARE(model.headerData(2, Qt::Vertical).toString(), QString("*"));
    QCOMPARE(model.records.at(2)->value(0).toInt(), 99);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<QModelIndex>(), model.index(2, 0));
    QCOMPARE(changed.at(0).at(1).value<QModelIndex>(), model.index(2, 4));

    // A new key shows its related value at once.
    QVERIFY(model.setData(model.index(1, 4), 8, Qt::DisplayRole));
    QCOMPARE(model.data(model.index(1, 4)).toString(), QString("eight"));

    changed.clear();
    QVERIFY(model.setData(model.index(0, 0), "x"));
    QVERIFY(model.setData(model.index(0, 1), 7));
    QCOMPARE(model.headerData(0, Qt::Vertical).toInt(), 0);
    QCOMPARE(changed.count(), 0);
    QVERIFY(!model.setData(model.index(0, 3), "x", Qt::DecorationRole));
    QVERIFY(!model.setData(QModelIndex(), "x"));
    QVERIFY(!model.records.at(0)->dirty);
}

void ExtModelTest::statesAndMarks()
{
    ExtModel model("items");
    model.select();
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.setState(0, 1, 1);
    QCOMPARE(model.records.at(0)->state(1), 1);
    QCOMPARE(model.data(model.index(0, 1)).toInt(), 100);
    QCOMPARE(model.headerData(0, Qt::Vertical).toString(), QString("*"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<QModelIndex>(), model.index(0, 1));
    QCOMPARE(changed.at(0).at(1).value<QModelIndex>(), model.index(0, 1));

    changed.clear();
    model.toggleMark(1);
    QVERIFY(model.isMarked(1));
    QVERIFY(model.records.at(1)->dirty);
    model.toggleMark(1);
    QVERIFY(!model.isMarked(1));
    model.setMarked(2, true);
    QVERIFY(model.isMarked(2));
    QCOMPARE(changed.count(), 3);
    QCOMPARE(changed.at(2).at(0).value<QModelIndex>(), model.index(2, 0));
    QCOMPARE(changed.at(2).at(1).value<QModelIndex>(), model.index(2, 4));
}

void ExtModelTest::saveWithNothingFlagged()
{
    exec("UPDATE items SET group_id = NULL");
    ExtModel model("items");
    model.select();
    QCOMPARE(model.rowCount(), 4);
    QSignalSpy messages(&model, &ExtModel::messageChanged);
    QSignalSpy progress(&model, &ExtModel::progress);
    db.markStatements();
    QVERIFY(model.save());
    QCOMPARE(texts(messages),
             (QStringList{"processing 0%", "processing 25%", "processing 50%", "processing 75%",
                          "Save compete", "loading 0", "loading 1", "loading 2", "loading 3",
                          "loading finish"}));
    QCOMPARE(texts(progress).join(' '), QString("0 25 50 75 100 0 25 50 75 100"));
    for (const QString &statement : db.statements())
        QVERIFY2(!statement.startsWith("INSERT") && !statement.startsWith("UPDATE") &&
                     !statement.startsWith("DELETE", Qt::CaseInsensitive),
                 qPrintable(statement));
}

void ExtModelTest::saveWritesAndReloads()
{
    ExtModel model("items");
    model.select();
    const int changed = rowOf(model, 1);
    const int removed = rowOf(model, 2);
    const int removedThenChanged = rowOf(model, 3);
    QVERIFY(model.setData(model.index(changed, 3), "renamed"));
    QVERIFY(model.removeRecord(removed));
    QVERIFY(model.removeRecord(removedThenChanged));
    QVERIFY(model.setData(model.index(removedThenChanged, 3), "gone anyway"));
    QVERIFY(model.insertRecord(-1));
    const int added = model.rowCount() - 1;
    QVERIFY(model.setData(model.index(added, 3), "added"));
    model.setState(added, 1, -1);
    model.setMarked(added, true);
    QVERIFY(model.save());
    QCOMPARE(model.message, QString("loading finish"));

    QCOMPARE(db.count("items"), 3);
    QCOMPARE(db.count("items", "id = 1 AND name = 'renamed'"), 1);
    QCOMPARE(db.count("items", "id IN (2, 3)"), 0);
    QCOMPARE(db.count("items", "id = 5 AND name = 'added' AND group_id IS NULL"), 1);
    QCOMPARE(db.count("ext_records"), 2);
    QCOMPARE(db.count("ext_records", "table_name = 'items' AND table_id IN (1, 5)"), 2);
    QCOMPARE(db.count("ext_records_fields"), 1);
    QCOMPARE(db.count("ext_records_fields", "field_name = 'name' AND state = -1"), 1);
    QCOMPARE(db.count("ext_records_monitorings", QString("user_id = %1").arg(alice)), 1);

    QCOMPARE(model.rowCount(), 2); // row 4 is not visible
    const int reloaded = rowOf(model, 5);
    QVERIFY(reloaded >= 0);
    QVERIFY(model.isMarked(reloaded));
    QCOMPARE(model.records.at(reloaded)->state("name"), -1);
    QCOMPARE(model.headerData(reloaded, Qt::Vertical).toInt(), reloaded);
    QVERIFY(model.records.at(reloaded)->created.isValid());
}

void ExtModelTest::saveRecordAndDeleteRecordWorkOnACopy()
{
    ExtModel model("items");
    model.select();
    QVERIFY(model.insertRecord(-1));
    ExtRecord *added = model.records.last();
    added->setValue("name", "single");
    QVERIFY(model.saveRecord(*added));
    QVERIFY(added->dirty);
    QVERIFY(added->value("id").isNull());
    QCOMPARE(db.count("items", "id = 5 AND name = 'single'"), 1);
    QCOMPARE(db.count("ext_records", "table_name = 'items' AND table_id = 5"), 1);

    const int row = rowOf(model, 1);
    QVERIFY(model.deleteRecord(*model.records.at(row)));
    QCOMPARE(db.count("items", "id = 1"), 0);
    QCOMPARE(model.rowCount(), 4);
}

void ExtModelTest::failedSaveKeepsWrittenRowsWritten()
{
    exec("CREATE TRIGGER refuse BEFORE INSERT ON ext_records_fields FOR EACH ROW BEGIN IF "
         "NEW.state = -1 THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'refused'; END IF; END");
    ExtModel model("items");
    model.select();
    QVERIFY(model.insertRecord(0));
    QVERIFY(model.setData(model.index(0, 3), "new one"));
    model.setState(0, 1, 1);
    // Rows in statement order after the new one: the refused row, then one marked for deletion.
    const int refused = 1;
    const int removed = 3;
    const int refusedId = model.records.at(refused)->value("id").toInt();
    const int removedId = model.records.at(removed)->value("id").toInt();
    model.setState(refused, 1, -1);
    QVERIFY(model.removeRecord(removed));
    QVERIFY(model.insertRecord(-1));
    model.setState(model.rowCount() - 1, 1, -1);
    QSignalSpy messages(&model, &ExtModel::messageChanged);

    QVERIFY(!model.save());
    QCOMPARE(model.message, "error, cannot save item " + QString::number(refusedId));
    QCOMPARE(db.count("items"), 5);
    QCOMPARE(db.count("items", "name = 'new one'"), 1);
    QCOMPARE(db.count("items", "id = " + QString::number(removedId)), 1); // still pending
    QCOMPARE(model.rowCount(), 5);
    QCOMPARE(model.records.at(0)->value("id").toInt(), 5);
    QVERIFY(!model.records.at(0)->dirty);
    QCOMPARE(model.headerData(0, Qt::Vertical).toInt(), 0);
    QVERIFY(model.records.at(refused)->dirty);
    QVERIFY(model.records.at(removed)->deleted);

    // A new row that cannot be saved has no id to name.
    model.removeRecord(refused);
    QVERIFY(!model.save());
    QCOMPARE(model.message, QString("error, cannot save item "));
    QCOMPARE(db.count("items", "id = " + QString::number(removedId)), 0);

    exec("DROP TRIGGER refuse");
    QVERIFY(model.save());
    QCOMPARE(db.count("items", "name = 'new one'"), 1);
    QCOMPARE(db.count("items"), 5); // 1, 3 and 4 of old, the two new rows
    QCOMPARE(db.count("items", "id = 6"), 1);
    QCOMPARE(db.count("ext_records", "table_id = 5"), 1);
    QCOMPARE(db.count("ext_records_fields", "state = 1"), 1);
}

void ExtModelTest::failedDeleteIsReported()
{
    exec("INSERT INTO ext_records (id, table_name, table_id) VALUES (1, 'items', 2)");
    exec("INSERT INTO ext_records_fields (ext_record_id, field_name, state) VALUES (1, 'name', 1)");
    exec("CREATE TRIGGER refuse BEFORE DELETE ON ext_records FOR EACH ROW SIGNAL SQLSTATE "
         "'45000' SET MESSAGE_TEXT = 'refused'");
    ExtModel model("items");
    model.select();
    QVERIFY(model.removeRecord(rowOf(model, 2)));
    QVERIFY(!model.save());
    QCOMPARE(model.message, QString("error, cannot delete item 2"));
    QCOMPARE(db.count("items", "id = 2"), 1);
    QCOMPARE(db.count("ext_records_fields", "ext_record_id = 1"), 1);
}

void ExtModelTest::loadingStatementsPerTable_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("keys");
    QTest::newRow("3 rows") << 3 << 0;
    QTest::newRow("60 rows") << 60 << 0;
    QTest::newRow("60 rows, 1 related key") << 60 << 1;
    QTest::newRow("60 rows, 3 related keys") << 60 << 3;
    QTest::newRow("600 rows, 600 related keys") << 600 << 600;
}

void ExtModelTest::loadingStatementsPerTable()
{
    QFETCH(int, rows);
    QFETCH(int, keys);
    exec("DELETE FROM items");
    QStringList values;
    QStringList metadata;
    QStringList states;
    QStringList marks;
    for (int id = 1; id <= rows; ++id) {
        const QString group = keys > 0 ? QString::number(7 + id % keys) : "NULL";
        values << QString("(%1, 'row %1', %2)").arg(id).arg(group);
        metadata << QString("(%1, 'items', %1)").arg(id);
        states << QString("(%1, 'name', 1)").arg(id);
        marks << QString("(%1, %2)").arg(id).arg(alice);
    }
    exec("INSERT INTO items (id, name, group_id) VALUES " + values.join(","));
    exec("INSERT INTO ext_records (id, table_name, table_id) VALUES " + metadata.join(","));
    exec("INSERT INTO ext_records_fields (ext_record_id, field_name, state) VALUES " +
         states.join(","));
    exec("INSERT INTO ext_records_monitorings (ext_record_id, user_id) VALUES " + marks.join(","));
    ExtModel model("items");
    if (keys > 0)
        model.setRelation(2, QSqlRelation("groups", "id", "name"));
    db.markStatements();
    model.select();
    QVERIFY(model.rowCount() > 0);
    for (const ExtRecord *record : model.records) {
        QVERIFY(record->marked);
        QCOMPARE(record->state("name"), 1);
    }
    // The visible rows, three metadata reads for the table, and one lookup for all keys of the
    // relation.
    const QStringList received = db.statements();
    QVERIFY2(received.size() == 4 + (keys > 0 ? 1 : 0), qPrintable(received.join("\n")));
    if (keys > 0) {
        for (const ExtRecord *record : model.records)
            QCOMPARE(record->displayValue(2).toString(),
                     db.scalar("SELECT name FROM groups WHERE id = " +
                               record->value("group_id").toString())
                         .toString());
    }
}

void ExtModelTest::batchedLoadingEqualsPerRowReading_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 2u, 3u, 17u, 4242u, 90210u})
        QTest::addRow("seed %u", seed) << seed;
}

// Rows, metadata and related tables drawn at random, with every irregularity the reading must
// treat alike: several metadata rows for one data row, table names and field names in other
// letter cases, states naming no column or no metadata row, null states, marks by several
// users, and relation keys that are null, unknown, or equal to a key only as the server
// compares text.
void ExtModelTest::batchedLoadingEqualsPerRowReading()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    auto pick = [&random](const QStringList &choices) {
        return choices.at(random.bounded(choices.size()));
    };
    exec("DROP TABLE IF EXISTS rnd");
    exec("DROP TABLE IF EXISTS codes");
    exec("CREATE TABLE rnd (id INT NOT NULL PRIMARY KEY, group_id INT NULL, Name VARCHAR(32) "
         "NULL, code VARCHAR(8) NULL, ref INT NULL, day DATE NULL, ref2 INT NULL)");
    exec("CREATE TABLE codes (code VARCHAR(8) NULL, title VARCHAR(32) NULL, born DATE NULL)");
    exec("INSERT INTO codes VALUES ('a', 'Alpha', NULL), ('B', 'Beta', NULL), ('c ', 'Gamma', "
         "NULL), ('d', 'Delta', NULL), ('d', 'Delta again', NULL), ('n', NULL, NULL), "
         "('x', 'Ex', '2020-01-01')");

    QStringList rows;
    QList<int> ids;
    const int rowCount = 20 + random.bounded(40);
    for (int i = 0; i < rowCount; ++i) {
        int id = 1 + random.bounded(300);
        while (ids.contains(id))
            id = 1 + random.bounded(300);
        ids << id;
        rows << QString("(%1, %2, %3, %4, %5, %6, %7)")
                    .arg(id)
                    .arg(pick({"NULL", "0", "7", "8", "9"}))
                    .arg(pick({"NULL", "'x'", "'y'", "''"}))
                    .arg(pick({"NULL", "'a'", "'A'", "'a '", "'b'", "'c'", "'d'", "'n'", "'zz'"}))
                    .arg(pick({"NULL", "7", "8", "99", "0"}))
                    .arg(pick({"NULL", "'2024-02-29'"}))
                    .arg(pick({"NULL", "7", "9", "12345"}));
    }
    exec("INSERT INTO rnd VALUES " + rows.join(","));

    const QStringList users = {QString::number(alice), QString::number(bob), QString::number(loner),
                               "999"};
    QStringList metadata;
    QStringList states;
    QStringList marks;
    int extId = 0;
    QList<int> tableIds = ids;
    for (int extra = 0; extra < 10; ++extra)
        tableIds << 400 + extra; // metadata of rows that do not exist
    for (const int tableId : tableIds) {
        const int copies = random.bounded(10) < 3 ? 0 : 1 + random.bounded(2);
        for (int copy = 0; copy < copies; ++copy) {
            ++extId;
            metadata << QString("(%1, %2, %3, %4, %5, %6, %7)")
                            .arg(extId)
                            .arg(pick({"'rnd'", "'rnd'", "'RND'", "'Rnd'", "'other'"}))
                            .arg(tableId)
                            .arg(pick(users + QStringList{"NULL"}))
                            .arg(pick({"NULL", "'2021-03-04 05:06:07'", "'2022-12-31 23:59:59'"}))
                            .arg(pick(users + QStringList{"NULL"}))
                            .arg(pick({"NULL", "'2023-01-01 00:00:00'"}));
            const int stateCount = random.bounded(6);
            for (int s = 0; s < stateCount; ++s)
                states << QString("(%1, %2, %3)")
                              .arg(random.bounded(20) == 0 ? extId + 1000 : extId)
                              .arg(pick({"'Name'", "'name'", "'NAME'", "'code'", "'ref'",
                                         "'group_id'", "'id'", "'day'", "'nosuch'", "'Nosuch'",
                                         "NULL"}))
                              .arg(pick({"-1", "1", "1", "-1", "0", "NULL"}));
            const int markCount = random.bounded(4);
            for (int m = 0; m < markCount; ++m)
                marks << QString("(%1, %2)").arg(extId).arg(pick(users));
        }
    }
    exec("INSERT INTO ext_records (id, table_name, table_id, created_user_id, created, "
         "modified_user_id, modified) VALUES " +
         metadata.join(","));
    if (!states.isEmpty())
        exec("INSERT INTO ext_records_fields (ext_record_id, field_name, state) VALUES " +
             states.join(","));
    if (!marks.isEmpty())
        exec("INSERT INTO ext_records_monitorings (ext_record_id, user_id) VALUES " +
             marks.join(","));

    ExtModel model("rnd");
    model.setLabel(2, "Name label");
    model.setRelation(3, QSqlRelation("codes", "code", "title"));
    model.setRelation(4, QSqlRelation("groups", "id", "name"));
    model.setRelation(5, QSqlRelation("groups", "id", "")); // incomplete: ignored
    model.setRelation(2, QSqlRelation("codes", "code", "born"));
    model.setRelation(6, QSqlRelation("groups", "id", "id"));
    QVERIFY(model.select());
    QVERIFY(model.rowCount() > 0);

    QSqlQuery visible;
    QVERIFY(visible.exec(model.query));
    int compared = 0;
    int markedRows = 0;
    int orphanStates = 0;
    int nullDisplays = 0;
    int withStamps = 0;
    while (visible.next()) {
        const int id = visible.value("id").toInt();
        const int row = rowOf(model, id);
        QVERIFY2(row >= 0, qPrintable(QString("row %1 not loaded").arg(id)));
        ExtRecord expected(model.columnRecord);
        expected.setValues(visible.record());
        ExtMetadata::readRecord(expected, "rnd", QString::number(alice), model.columnRecord);
        expected.resolveRelations();
        const ExtRecord &actual = *model.records.at(row);
        QCOMPARE(describe(actual), describe(expected));
        QVERIFY(!actual.dirty && !actual.deleted);
        ++compared;
        markedRows += actual.marked;
        orphanStates += actual.states.contains(-1);
        nullDisplays += actual.displayValue(3).isNull() || actual.displayValue(4).isNull();
        withStamps += actual.created.isValid();
    }
    QCOMPARE(compared, model.rowCount());
    // The draw must have produced the cases the comparison is about.
    QVERIFY(markedRows > 0);
    QVERIFY(orphanStates > 0);
    QVERIFY(nullDisplays > 0);
    QVERIFY(withStamps > 0);
    QVERIFY(withStamps < compared);
}

// Everything a loaded record carries, values with their types and nullness.
QString ExtModelTest::describe(const ExtRecord &record)
{
    auto show = [](const QVariant &v) {
        return QString("%1(%2%3)")
            .arg(v.metaType().name() ? v.metaType().name() : "invalid")
            .arg(v.isNull() ? "null " : "")
            .arg(v.toString());
    };
    QStringList parts;
    for (int i = 0; i < record.count(); ++i)
        parts << record.fieldName(i) + "=" + show(record.value(i));
    for (auto it = record.states.cbegin(); it != record.states.cend(); ++it)
        parts << QString("state %1=%2").arg(it.key()).arg(it.value());
    for (auto it = record.displayValues.cbegin(); it != record.displayValues.cend(); ++it)
        parts << QString("display %1=%2").arg(it.key()).arg(show(it.value()));
    for (auto it = record.labels.cbegin(); it != record.labels.cend(); ++it)
        parts << QString("label %1=%2").arg(it.key()).arg(it.value());
    for (int i = -1; i <= record.count(); ++i) {
        const QSqlRelation r = record.relation(i);
        parts << QString("relation %1=%2.%3.%4")
                     .arg(i)
                     .arg(r.tableName(), r.indexColumn(), r.displayColumn());
    }
    parts << QString("marked=%1 dirty=%2 deleted=%3")
                 .arg(record.marked)
                 .arg(record.dirty)
                 .arg(record.deleted);
    parts << "created=" + record.created.toString(Qt::ISODate) + " by " +
                 show(record.createdUserId);
    parts << "modified=" + record.modified.toString(Qt::ISODate) + " by " +
                 show(record.modifiedUserId);
    return parts.join("\n");
}

QTEST_MAIN(ExtModelTest)
#include "tst_extmodel.moc"
