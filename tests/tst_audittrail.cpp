#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include "editor/exthistorymodel.h"
#include "editor/exttableeditor.h"
#include "editor/exttableview.h"
#include "editor/extxmlmodel.h"
#include "model/extmodel.h"
#include "testdatabase.h"
#include "testhelpers.h"

namespace {
const char *const schema = R"(<?xml version="1.0"?>
<table><fields>
  <field name="name"><label>Patient name</label></field>
  <field name="centre_id"><label>Centre</label><relation><tablename>tstcentres</tablename>
    <indexColumn>id</indexColumn><displayColumn>name</displayColumn></relation></field>
</fields></table>)";

const QString noTrailNotice = "no audit trail is kept: the database has no table ext_records_audit";

} // namespace

// The audit trail on the real server: what every kind of save writes, that it shares the fate
// of the row's transaction, that the schema keeps it unchangeable, the database without it, and
// the editor's history tab.
class AuditTrailTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY_CREATE(db);
        QVERIFY_DB(db, addAuditTrail);
        alice = db.addUser("alice", "a");
        bob = db.addUser("bob", "b");
    }

    void init()
    {
        TestHelpers::logIn(alice);
        // Row 2 was reviewed and marked before: its name is an error.
        QVERIFY_SCRIPT(db, QString(R"(DROP TABLE IF EXISTS tstaudit, tstcentres;
    DROP TRIGGER IF EXISTS refuse;
    CREATE TABLE tstcentres (id INT PRIMARY KEY, name VARCHAR(40), group_id INT);
    INSERT INTO tstcentres VALUES (1, 'Lille', 0), (2, 'Arras', 0);
    CREATE TABLE tstaudit (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, name VARCHAR(40),
      centre_id INT, group_id INT);
    INSERT INTO tstaudit VALUES (1, 'Anna', 1, 0), (2, 'Bert', 2, 0), (3, 'Cleo', NULL, 0);
    DELETE FROM ext_records; DELETE FROM ext_records_fields; DELETE FROM ext_records_monitorings;
    INSERT INTO ext_records (id, table_name, table_id) VALUES (20, 'tstaudit', 2);
    INSERT INTO ext_records_fields (ext_record_id, field_name, state) VALUES (20, 'name', -1);
    INSERT INTO ext_records_monitorings (ext_record_id, user_id) VALUES (20, %1))")
                               .arg(alice));
        // The trail cannot be emptied: each test reads what came after this.
        auditBefore = db.scalar("SELECT COALESCE(MAX(id), 0) FROM ext_records_audit").toLongLong();
    }

    void cleanupTestCase() { db.drop(); }

    void saveWritesTrail_data()
    {
        // Steps on the row: field=value (empty: null), state=N, mark, insert (a new row,
        // whose trail is then read), remove, save.
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("tableId");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("edit to null")
            << QStringList{"centre_id="} << 1 << QStringList{"update centre_id 1 NULL NULL NULL"};
        QTest::newRow("state") << QStringList{"state=1"} << 1
                               << QStringList{"state name NULL NULL 0 1"};
        QTest::newRow("mark") << QStringList{"mark"} << 1 << QStringList{"mark NULL 0 1 NULL NULL"};
        QTest::newRow("insert")
            << QStringList{"insert", "name=Dora", "centre_id=2", "state=1", "mark"} << 0
            << QStringList{"insert NULL NULL NULL NULL NULL", "insert name NULL Dora NULL NULL",
                           "insert centre_id NULL 2 NULL NULL", "state name NULL NULL 0 1",
                           "mark NULL 0 1 NULL NULL"};
        QTest::newRow("delete") << QStringList{"remove"} << 1
                                << QStringList{"delete NULL NULL NULL NULL NULL",
                                               "delete name Anna NULL NULL NULL",
                                               "delete centre_id 1 NULL NULL NULL",
                                               "delete group_id 0 NULL NULL NULL"};
        // The second save's trail starts from what the first one wrote, not from an edit in
        // between.
        QTest::newRow("two saves")
            << QStringList{"name=Anja", "save", "name=Ada", "name=Anke", "state=-1"} << 1
            << QStringList{"update name Anna Anja NULL NULL", "update name Anja Anke NULL NULL",
                           "state name NULL NULL 0 -1"};
    }

    void saveWritesTrail()
    {
        QFETCH(QStringList, steps);
        QFETCH(int, tableId);
        QFETCH(QStringList, expected);
        ExtModel model("tstaudit");
        QVERIFY(model.keepsAuditTrail());
        model.select();
        int row = rowOf(model, tableId);
        const int name = column(model, "name");
        for (const QString &step : steps) {
            if (step == "insert") {
                QVERIFY(model.insertRecord(-1));
                row = model.rowCount() - 1;
            } else if (step == "remove") {
                QVERIFY(model.removeRecord(row));
            } else if (step == "mark") {
                model.setMarked(row, true);
            } else if (step == "save") {
                QVERIFY(model.save());
                row = rowOf(model, tableId);
            } else if (step.startsWith("state=")) {
                model.setState(row, name - 2, step.mid(6).toInt());
            } else {
                const QString value = step.section('=', 1);
                QVERIFY(model.setData(model.index(row, column(model, step.section('=', 0, 0))),
                                      value.isEmpty() ? QVariant() : QVariant(value)));
            }
        }
        QVERIFY(model.save());
        if (tableId == 0)
            tableId = db.scalar("SELECT id FROM tstaudit WHERE name = 'Dora'").toInt();
        QCOMPARE(trail(tableId), expected);
        // Nothing about the rows that were not changed.
        QCOMPARE(
            trail("NOT (table_name = 'tstaudit' AND table_id = " + QString::number(tableId) + ")"),
            QStringList{});
    }

    // The change never lands without its trail; rows saved before the refused one stay saved.
    void refusedTrailRollsBackTheChange()
    {
        exec("CREATE TRIGGER refuse BEFORE INSERT ON ext_records_audit FOR EACH ROW IF "
             "NEW.table_id = 2 THEN SIGNAL SQLSTATE '45000' SET MESSAGE_TEXT = 'refused'; END IF");
        ExtModel model("tstaudit");
        model.select();
        QVERIFY(rowOf(model, 1) < rowOf(model, 2));
        for (const int id : {1, 2})
            QVERIFY(model.setData(model.index(rowOf(model, id), column(model, "name")), "New"));
        QVERIFY(!model.save());
        QCOMPARE(model.message, QString("error, cannot save item 2"));
        QCOMPARE(db.scalar("SELECT GROUP_CONCAT(name ORDER BY id) FROM tstaudit").toString(),
                 QString("New,Bert,Cleo"));
        QCOMPARE(trail(1), QStringList{"update name Anna New NULL NULL"});
        QCOMPARE(trail(2), QStringList{});
        // Nor can the trail be changed afterwards.
        for (const QString &statement :
             {"UPDATE ext_records_audit SET user_id = 0", "DELETE FROM ext_records_audit"}) {
            QString error;
            QVERIFY(!db.exec(statement, &error));
            QVERIFY2(error.contains("the audit trail cannot be changed"), qPrintable(error));
        }
        QCOMPARE(trail(1), QStringList{"update name Anna New NULL NULL"});
    }

    void historyTab()
    {
        // A table of its own: the trail of the other tests on tstaudit stays.
        exec("DROP TABLE IF EXISTS tsthistory; CREATE TABLE tsthistory LIKE tstaudit; "
             "INSERT INTO tsthistory SELECT * FROM tstaudit");

        // Alice renames row 1 and moves it to another centre; then Bob reviews it.
        ExtTableEditor editor(writeSchema("tsthistory"));
        editor.refresh();
        ExtXmlModel *model = editor.model;
        QVERIFY(model->setData(model->index(rowOf(*model, 1), column(*model, "name")), "Anja"));
        QVERIFY(model->setData(model->index(rowOf(*model, 1), column(*model, "centre_id")), 2));
        editor.save();
        TestHelpers::logIn(bob);
        editor.refresh();
        model->setState(rowOf(*model, 1), column(*model, "name") - 2, 1);
        model->toggleMark(rowOf(*model, 1));
        editor.save();

        auto *tabs = editor.findChild<QTabWidget *>("tabWidget");
        QCOMPARE(tabs->tabText(2), QString("history"));
        QAbstractItemModel *shown = qobject_cast<QTableView *>(tabs->widget(2))->model();
        editor.show();
        auto *table = editor.findChild<QTableView *>("tableView");
        const QModelIndex clicked = model->index(rowOf(*model, 1), column(*model, "name"));
        table->scrollTo(clicked);
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                          table->visualRect(clicked).center());
        QStringList rows;
        for (int row = 0; row < shown->rowCount(); ++row) {
            QStringList cells;
            for (int column = ExtHistoryModel::Who; column < ExtHistoryModel::ColumnCount; ++column)
                cells << shown->index(row, column).data().toString();
            rows << cells.join("|");
        }
        QCOMPARE(rows, (QStringList{"bob|mark|not marked|marked", "bob|Patient name|todo|valid",
                                    "alice|Centre|Lille|Arras", "alice|Patient name|Anna|Anja"}));
        QCOMPARE(shown->headerData(ExtHistoryModel::When, Qt::Horizontal).toString(),
                 QString("when"));

        // Local time of the UTC stamp.
        const QDateTime utc =
            db.scalar("SELECT MAX(changed_utc) FROM ext_records_audit").toDateTime();
        const QString expectedWhen = QDateTime(utc.date(), utc.time(), Qt::UTC)
                                         .toLocalTime()
                                         .toString("yyyy-MM-dd HH:mm:ss");
        QCOMPARE(shown->index(0, ExtHistoryModel::When).data().toString(), expectedWhen);
    }

    // Last: it drops the trail.
    // The model saves as before, the history tab says why it is empty.
    void databaseWithoutTrail()
    {
        exec("DROP TABLE ext_records_audit");
        ExtModel model("tstaudit");
        QVERIFY(!model.keepsAuditTrail());
        model.select();
        QVERIFY(model.setData(model.index(rowOf(model, 1), column(model, "name")), "Anja"));
        QVERIFY(model.save());
        QCOMPARE(db.count("tstaudit", "id = 1 AND name = 'Anja'"), 1);
        ExtTableEditor editor(writeSchema("tstaudit"));
        editor.refresh();
        QCOMPARE(editor.statusBar()->currentMessage(), QString("loading finish"));
        QCOMPARE(editor.findChild<ExtTableView *>("historyView")->emptyText(), noTrailNotice);
    }

private:
    void exec(const QString &sql) { QVERIFY_SQL(db, sql); }
    static int rowOf(const ExtModel &model, int id) { return TestHelpers::rowOf(model, id); }
    static int column(const ExtModel &model, const QString &field)
    {
        return model.columnRecord.indexOf(field) + 2;
    }

    QString writeSchema(const QString &table)
    {
        const QString path = dir.filePath(table + ".xml");
        return TestHelpers::writeFile(path, schema) ? path : QString();
    }

    // action, field, old value, new value, old state, new state; "NULL" for null.
    QStringList trail(int tableId) const
    {
        return trail("table_name = 'tstaudit' AND table_id = " + QString::number(tableId));
    }

    QStringList trail(const QString &where) const
    {
        return db.rows("SELECT action, field_name, old_value, new_value, old_state, new_state FROM "
                       "ext_records_audit WHERE id > " +
                       QString::number(auditBefore) + " AND " + where + " ORDER BY id");
    }

    TestDatabase db;
    int alice = 0;
    int bob = 0;
    qlonglong auditBefore = 0;
    QTemporaryDir dir;
};

QTEST_MAIN(AuditTrailTest)
#include "tst_audittrail.moc"
