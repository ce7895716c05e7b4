#include <QtTest>
#include <QtWidgets>

#include "editor/extlistviewer.h"
#include "editor/extrecordeditor.h"
#include "editor/extrecordmodel.h"
#include "editor/exttableeditor.h"
#include "editor/extxmlmodel.h"
#include "modalanswer.h"
#include "testdatabase.h"
#include "testhelpers.h"
#include "testsettings.h"

namespace {

const char *const schema = R"(<?xml version="1.0"?>
<table><fields>
  <field name="code"><label>Code</label></field>
  <field name="birth"><label>Birth date</label></field>
  <field name="weight"><label>Weight (kg)</label></field>
  <field name="centre_id"><label>Centre</label><relation><tablename>tstreviewcentres</tablename>
    <indexColumn>id</indexColumn><displayColumn>name</displayColumn></relation></field>
</fields></table>)";

struct Bulk
{
    QString cells, state;
    int changedRows;
    QString stored;
};

} // namespace

Q_DECLARE_METATYPE(Bulk)

// Reviewing in the table editor's grid: states shown per cell, set in bulk, undone, summed up.
class ReviewTest : public QObject
{
    Q_OBJECT
public slots:
    // Stands in for the desktop's handler of a written file.
    void open(const QUrl &url) { opened << url; }

private slots:
    void initTestCase()
    {
        QVERIFY_CREATE(db);
        alice = db.addUser("alice", "secret");
        TestHelpers::logIn(alice);
        QLocale::setDefault(QLocale::c());
        QDesktopServices::setUrlHandler("file", this, "open");
        schemaFile = QDir(ExtListViewer::schemaDirectory()).filePath("tstreview.xml");
        // Row 3 changed after its review, row 1 reviewed after its change, row 2 never reviewed.
        QVERIFY_SQL(db, QString(R"(INSERT INTO ext_records_audit (table_name, table_id, field_name,
      action, user_id, changed_utc) VALUES ('tstreview', 3, 'code', 'state', %1, '2000-01-01'),
      ('tstreview', 3, 'code', 'update', %1, '2000-01-02'),
      ('tstreview', 1, 'code', 'update', %1, '2000-01-01'),
      ('tstreview', 1, 'code', 'state', %1, '2000-01-02'),
      ('tstreview', 2, 'weight', 'update', %1, '2000-01-01'))")
                            .arg(alice));
    }

    // Row 1 fully valid, row 2 with an error, row 3 marked, row 4 untouched; the editor loaded.
    void init()
    {
        QVERIFY(TestHelpers::writeFile(schemaFile, schema));
        QVERIFY_SCRIPT(db, QString(R"(DROP TABLE IF EXISTS tstreview, tstreviewcentres;
    CREATE TABLE tstreview (id INT PRIMARY KEY, code VARCHAR(8), birth DATE, weight DECIMAL(5,1),
      centre_id INT, group_id INT);
    INSERT INTO tstreview VALUES (1, 'R-1', '1990-05-01', 9.5, 1, 0),
      (2, 'R-2', '1985-12-31', 80, 2, 0), (3, 'R-3', NULL, 100, 2, 0),
      (4, 'S-4', '2001-01-15', 60, NULL, 0);
    CREATE TABLE tstreviewcentres (id INT PRIMARY KEY, name VARCHAR(20));
    INSERT INTO tstreviewcentres VALUES (1, 'Zurich'), (2, 'Arras, "Nord"');
    DELETE FROM ext_records; DELETE FROM ext_records_fields; DELETE FROM ext_records_monitorings;
    INSERT INTO ext_records (id, table_name, table_id, created, created_user_id, modified,
      modified_user_id) VALUES (1, 'tstreview', 1, NULL, NULL, NULL, NULL),
      (2, 'tstreview', 2, '2026-01-02 03:04:05', %1, '2026-02-03 04:05:06', %1),
      (3, 'tstreview', 3, NULL, NULL, NULL, NULL);
    INSERT INTO ext_records_fields (ext_record_id, field_name, state) VALUES (1, 'code', 1),
      (1, 'birth', 1), (1, 'weight', 1), (1, 'centre_id', 1), (2, 'code', -1), (2, 'birth', 1);
    INSERT INTO ext_records_monitorings (ext_record_id, user_id) VALUES (3, %1))")
                               .arg(alice));
        editor = std::make_unique<ExtTableEditor>(schemaFile);
        editor->resize(900, 500);
        editor->show();
        editor->activateWindow();
        editor->refresh();
        grid = editor->findChild<QTableView *>("tableView");
        model = editor->model;
    }

    void cleanup()
    {
        editor.reset();
        QFile::remove(schemaFile);
        settings.clear();
    }

    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler("file");
        db.drop();
    }

    void bulkReview_data()
    {
        QTest::addColumn<Bulk>("c");
        const QString row1 = "1:birth:1,1:centre_id:1,1:code:1,1:weight:1,";
        QTest::newRow("a rectangle") << Bulk{"2:code 2:birth 4:code 4:birth", "valid", 2,
                                             row1 + "2:birth:1,2:code:1,4:birth:1,4:code:1"};
        // The key and the group of a whole row are no data to review.
        QTest::newRow("a whole row")
            << Bulk{"4:*", "error", 1,
                    row1 + "2:birth:1,2:code:-1,4:birth:-1,4:centre_id:-1,4:code:-1,4:weight:-1"};
        QTest::newRow("scattered cells back to todo")
            << Bulk{"1:code 1:weight 2:birth", "todo", 2, "1:birth:1,1:centre_id:1,2:code:-1"};
    }

    void bulkReview()
    {
        QFETCH(Bulk, c);
        QVERIFY(QTest::qWaitForWindowActive(editor.get()));
        selectCells(c.cells);
        grid->setFocus();
        const int digit = c.state == "error" ? 1 : c.state == "todo" ? 2 : 3;
        QTest::keyClick(grid, Qt::Key(Qt::Key_0 + digit), Qt::ControlModifier);
        QCOMPARE(model->pendingRowCount(), c.changedRows);
        QVERIFY(editor->save());
        QCOMPARE(storedStates(), c.stored);
    }

    // Each Ctrl+Z takes one step back; a row back where it was read has nothing left to save.
    void undoRestoresStates()
    {
        QVERIFY(QTest::qWaitForWindowActive(editor.get()));
        selectCells("4:code");
        trigger("actionValid");
        selectCells("4:code 1:code");
        trigger("actionError");
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(QList<int>({state(1, "code"), state(4, "code"), model->pendingRowCount()}),
                 QList<int>({1, 1, 1}));
        QTest::keyClick(grid, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(QList<int>({state(4, "code"), model->pendingRowCount()}), QList<int>({0, 0}));

        // A step of the form's buttons too; the form shows the undone state.
        ExtRecordModel *form = editor->recordEditor->recordModel;
        form->setRecordFromIndex(cell("4:id"));
        const int birth = model->columnRecord.indexOf("birth");
        editor->recordEditor->findChild<QTableView *>("tableView")->selectRow(birth);
        auto *errorButton = editor->recordEditor->findChild<QToolButton *>("errorButton");
        errorButton->click();
        QCOMPARE(state(4, "birth"), -1);
        QTest::keyClick(errorButton, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(QList<int>({state(4, "birth"), form->state(birth)}), QList<int>({0, 0}));
    }

    void summary()
    {
        selectCells("2:code");
        trigger("actionValid");
        editor->searchEdit->setText("r-");
        QCoreApplication::processEvents();
        QCOMPARE(editor->findChild<QLabel *>("summaryLabel")->text(),
                 QString("3 rows · 50 % valid · 0 with errors · 1 marked"));
    }

    void filter_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("search");
        QTest::addColumn<QList<int>>("shown");
        const QString all, notReviewed = "rows not fully reviewed";
        QTest::newRow("errors") << "rows with an error" << all << QList<int>{2};
        QTest::newRow("not fully reviewed") << notReviewed << all << QList<int>{2, 3, 4};
        QTest::newRow("with the search") << notReviewed << "s-" << QList<int>{4};
        QTest::newRow("marked") << "rows I marked" << all << QList<int>{3};
        QTest::newRow("changed since reviewed")
            << "rows changed since reviewed" << all << QList<int>{3};
        QTest::newRow("search, any case") << all << "r-" << QList<int>{1, 2, 3};
        QTest::newRow("search a relation's name") << all << "zurich" << QList<int>{1};
    }

    void filter()
    {
        QFETCH(QString, filter);
        QFETCH(QString, search);
        QFETCH(QList<int>, shown);
        if (!filter.isEmpty())
            setFilter(filter);
        QTest::keyClicks(editor->searchEdit, search);
        QList<int> ids = shownIds();
        // The rows behind the view keep their records: the delegate still finds them.
        for (int row = 0; row < model->rowCount(); ++row)
            QVERIFY(ExtRecordModel::rowRecord(model->index(row, 1)));
        std::sort(ids.begin(), ids.end());
        QCOMPARE(ids, shown);
    }

    void sort_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<Qt::SortOrder>("order");
        QTest::addColumn<QList<int>>("shown");
        QTest::newRow("text, descending")
            << "code" << Qt::DescendingOrder << QList<int>{4, 3, 2, 1};
        QTest::newRow("numbers") << "weight" << Qt::AscendingOrder << QList<int>{1, 4, 2, 3};
        QTest::newRow("relation by its name")
            << "centre_id" << Qt::AscendingOrder << QList<int>{4, 2, 3, 1};
    }

    // Sorted by a header click, the top row of the grid is still the record it shows.
    void sort()
    {
        QFETCH(QString, field);
        QFETCH(Qt::SortOrder, order);
        QFETCH(QList<int>, shown);
        const int column = 2 + model->columnRecord.indexOf(field);
        QHeaderView *header = grid->horizontalHeader();
        do
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(column) + 5, 5));
        while (header->sortIndicatorOrder() != order);
        QCOMPARE(shownIds(), shown);

        const QModelIndex top = grid->indexAt(QPoint(5, 5)).siblingAtColumn(3);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(top).center());
        QCOMPARE(editor->recordEditor->recordModel->record().value("id").toInt(), shown.first());
    }

    // Filtered and sorted as the grid shows it; a value with a comma and quotes is quoted.
    void exportReview()
    {
        setFilter("rows not fully reviewed");
        grid->horizontalHeader()->setSortIndicator(3, Qt::DescendingOrder);
        QTemporaryDir dir;
        const QString fileName = dir.filePath("review.csv");
        ModalAnswer answer(ModalAnswer::chooseFile(fileName));
        trigger("actionCsvReview");
        QVERIFY(answer.answered());
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(fileName)});
        QFile file(fileName);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(
            QString::fromUtf8(file.readAll()),
            QString(
                "id,id state,Code,Code state,Birth date,Birth date state,Weight (kg),"
                "Weight (kg) state,Centre,Centre state,group_id,group_id state,progress,"
                "mark,created,created by,modified,modified by%1\n"
                "4,todo,S-4,todo,2001-01-15,todo,60,todo,,todo,0,todo,50,0,,,,%2\n"
                "3,todo,R-3,todo,,todo,100,todo,\"Arras, \"\"Nord\"\"\",todo,0,todo,50,1,,,,%2\n"
                "2,todo,R-2,error,1985-12-31,valid,80,todo,\"Arras, \"\"Nord\"\"\",todo,0,"
                "todo,50,0,2026-01-02 03:04:05,alice,2026-02-03 04:05:06,alice%2\n")
                // With the signatures' tables each line ends in who signed the row and when.
                .arg(editor->model->keepsReview() ? ",signed by,signed at" : "",
                     editor->model->keepsReview() ? ",," : ""));
    }

private:
    // cells: "id:field" separated by blanks, selected in the grid.
    void selectCells(const QString &cells)
    {
        grid->selectionModel()->clear();
        for (const QString &one : cells.split(' ', Qt::SkipEmptyParts)) {
            if (one.endsWith(":*"))
                grid->selectRow(cell(one.chopped(2) + ":id").row());
            else
                grid->selectionModel()->select(cell(one), QItemSelectionModel::Select);
        }
    }
    QModelIndex cell(const QString &idAndField) const
    {
        const QStringList parts = idAndField.split(':');
        const int row = TestHelpers::rowOf(*model, parts.value(0).toInt());
        return model->index(row, 2 + model->columnRecord.indexOf(parts.value(1)));
    }

    // The review as the database holds it: "id:field:state", by id and field.
    QString storedStates() const
    {
        return db
            .scalar("SELECT GROUP_CONCAT(CONCAT(e.table_id, ':', f.field_name, ':', f.state) "
                    "ORDER BY e.table_id, f.field_name) FROM ext_records e JOIN "
                    "ext_records_fields f ON f.ext_record_id = e.id "
                    "WHERE e.table_name = 'tstreview'")
            .toString();
    }

    // The ids of the rows the grid shows, top down.
    QList<int> shownIds() const
    {
        QList<int> ids;
        for (int visual = 0; visual < model->rowCount(); ++visual) {
            const int row = grid->verticalHeader()->logicalIndex(visual);
            if (!grid->isRowHidden(row))
                ids << model->records.at(row)->value("id").toInt();
        }
        return ids;
    }

    void trigger(const char *name) { editor->findChild<QAction *>(name)->trigger(); }
    void setFilter(const QString &text)
    {
        auto *choice = editor->findChild<QComboBox *>("reviewFilter");
        choice->setCurrentIndex(choice->findText(text));
        QCOMPARE(choice->currentText(), text);
    }

    int state(int id, const char *field) const
    {
        return model->records.at(TestHelpers::rowOf(*model, id))->state(QString(field));
    }

    TestSettings settings;
    TestDatabase db;
    QString schemaFile;
    int alice = 0;
    QList<QUrl> opened;
    std::unique_ptr<ExtTableEditor> editor;
    QTableView *grid = nullptr;
    ExtXmlModel *model = nullptr;
};

QTEST_MAIN(ReviewTest)
#include "tst_review.moc"
