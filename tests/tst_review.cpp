#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include "editor/extdelegate.h"
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

} // namespace

// Reviewing in the table editor's grid: states shown per cell, set in bulk, undone, summed up.
class ReviewTest : public QObject
{
    Q_OBJECT
public slots:
    // Stands in for the desktop's handler of a written file.
    void open(const QUrl &url) { opened << url; }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void bulkReview_data();
    void bulkReview();
    void undoRestoresStates();
    void summary_data();
    void summary();
    void stateToolTip_data();
    void stateToolTip();
    void statesShownIsRemembered();
    void filter_data();
    void filter();
    void sort_data();
    void sort();
    void exportReview();

private:
    ExtTableEditor *openEditor();
    // cells: "id:field" separated by blanks, selected in the grid.
    void selectCells(ExtTableEditor *editor, const QString &cells);
    QModelIndex cell(ExtTableEditor *editor, const QString &idAndField) const;
    QString storedStates() const;
    // The ids of the rows the grid shows, top down.
    static QList<int> shownIds(ExtTableEditor *editor);
    static QTableView *grid(ExtTableEditor *editor)
    {
        return editor->findChild<QTableView *>("tableView");
    }
    static QAction *action(ExtTableEditor *editor, const char *name)
    {
        return editor->findChild<QAction *>(name);
    }
    static QString summaryText(ExtTableEditor *editor)
    {
        QCoreApplication::processEvents();
        return editor->findChild<QLabel *>("summaryLabel")->text();
    }

    TestSettings settings;
    TestDatabase db;
    QString schemaFile;
    int alice = 0;
    QList<QUrl> opened;
};

void ReviewTest::initTestCase()
{
    QVERIFY_CREATE(db);
    alice = db.addUser("alice", "secret");
    TestHelpers::logIn(alice);
    QLocale::setDefault(QLocale::c());
    QDesktopServices::setUrlHandler("file", this, "open");
    schemaFile = QDir(ExtListViewer::schemaDirectory()).filePath("tstreview.xml");
    // The trail keeps what it was given: row 3 changed after its review, row 1 reviewed after
    // its change, row 2 changed and never reviewed.
    QString error;
    QVERIFY2(db.execScript(QString("INSERT INTO ext_records_audit (table_name, table_id, "
                                   "field_name, action, user_id, changed_utc) VALUES "
                                   "('tstreview', 3, 'code', 'state', %1, '2000-01-01'), "
                                   "('tstreview', 3, 'code', 'update', %1, '2000-01-02'), "
                                   "('tstreview', 1, 'code', 'update', %1, '2000-01-01'), "
                                   "('tstreview', 1, 'code', 'state', %1, '2000-01-02'), "
                                   "('tstreview', 2, 'weight', 'update', %1, '2000-01-01')")
                               .arg(alice),
                           &error),
             qPrintable(error));
}

// Row 1 fully valid, row 2 with an error, row 3 marked, row 4 untouched.
void ReviewTest::init()
{
    QVERIFY(TestHelpers::writeFile(schemaFile, schema));
    QString error;
    QVERIFY2(db.execScript(QString("DROP TABLE IF EXISTS tstreview;"
                                   "CREATE TABLE tstreview (id INT PRIMARY KEY, code VARCHAR(8), "
                                   "birth DATE, weight DECIMAL(5,1), centre_id INT, "
                                   "group_id INT);"
                                   "INSERT INTO tstreview VALUES "
                                   "(1, 'R-1', '1990-05-01', 9.5, 1, 0), "
                                   "(2, 'R-2', '1985-12-31', 80, 2, 0), "
                                   "(3, 'R-3', NULL, 100, 2, 0), "
                                   "(4, 'S-4', '2001-01-15', 60, NULL, 0);"
                                   "DROP TABLE IF EXISTS tstreviewcentres;"
                                   "CREATE TABLE tstreviewcentres (id INT PRIMARY KEY, "
                                   "name VARCHAR(20));"
                                   "INSERT INTO tstreviewcentres VALUES (1, 'Zurich'), "
                                   "(2, 'Arras, \"Nord\"');"
                                   "DELETE FROM ext_records; DELETE FROM ext_records_fields;"
                                   "DELETE FROM ext_records_monitorings;"
                                   "INSERT INTO ext_records (id, table_name, table_id, "
                                   "created, created_user_id, modified, modified_user_id) "
                                   "VALUES "
                                   "(1, 'tstreview', 1, NULL, NULL, NULL, NULL), "
                                   "(2, 'tstreview', 2, '2026-01-02 03:04:05', %1, "
                                   "'2026-02-03 04:05:06', %1), "
                                   "(3, 'tstreview', 3, NULL, NULL, NULL, NULL);"
                                   "INSERT INTO ext_records_fields (ext_record_id, field_name, "
                                   "state) VALUES (1, 'code', 1), (1, 'birth', 1), "
                                   "(1, 'weight', 1), (1, 'centre_id', 1), (2, 'code', -1), "
                                   "(2, 'birth', 1);"
                                   "INSERT INTO ext_records_monitorings (ext_record_id, "
                                   "user_id) "
                                   "VALUES (3, %1)")
                               .arg(alice),
                           &error),
             qPrintable(error));
}

void ReviewTest::cleanup()
{
    QFile::remove(schemaFile);
    settings.clear();
}

void ReviewTest::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler("file");
    db.drop();
}

ExtTableEditor *ReviewTest::openEditor()
{
    auto *editor = new ExtTableEditor(schemaFile);
    editor->resize(900, 500);
    editor->show();
    editor->activateWindow();
    editor->refresh();
    return editor;
}

QModelIndex ReviewTest::cell(ExtTableEditor *editor, const QString &idAndField) const
{
    const QStringList parts = idAndField.split(':');
    const int row = TestHelpers::rowOf(*editor->model, parts.value(0).toInt());
    return editor->model->index(row, 2 + editor->model->columnRecord.indexOf(parts.value(1)));
}

void ReviewTest::selectCells(ExtTableEditor *editor, const QString &cells)
{
    QItemSelectionModel *selection = grid(editor)->selectionModel();
    selection->clear();
    for (const QString &one : cells.split(' ', Qt::SkipEmptyParts)) {
        if (one.endsWith(":*"))
            grid(editor)->selectRow(cell(editor, one.chopped(2) + ":id").row());
        else
            selection->select(cell(editor, one), QItemSelectionModel::Select);
    }
}

// The review as the database holds it: "id:field:state", by id and field.
QString ReviewTest::storedStates() const
{
    return db
        .scalar("SELECT GROUP_CONCAT(CONCAT(e.table_id, ':', f.field_name, ':', f.state) "
                "ORDER BY e.table_id, f.field_name) FROM ext_records e JOIN "
                "ext_records_fields f ON f.ext_record_id = e.id "
                "WHERE e.table_name = 'tstreview'")
        .toString();
}

void ReviewTest::bulkReview_data()
{
    QTest::addColumn<QString>("cells");
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("fromMenu");
    QTest::addColumn<int>("changedRows");
    QTest::addColumn<QString>("stored");
    QTest::newRow("a rectangle, by shortcut")
        << "2:code 2:birth 4:code 4:birth"
        << "valid" << false << 2
        << "1:birth:1,1:centre_id:1,1:code:1,1:weight:1,2:birth:1,2:code:1,4:birth:1,4:code:1";
    // The key and the group of a whole row are no data to review.
    QTest::newRow("a whole row, from the menu")
        << "4:*"
        << "error" << true << 1
        << "1:birth:1,1:centre_id:1,1:code:1,1:weight:1,2:birth:1,2:code:-1,4:birth:-1,4:centre_id:"
           "-1,4:code:-1,4:weight:-1";
    QTest::newRow("scattered cells back to todo")
        << "1:code 1:weight 2:birth"
        << "todo" << true << 2 << "1:birth:1,1:centre_id:1,2:code:-1";
}

void ReviewTest::bulkReview()
{
    QFETCH(QString, cells);
    QFETCH(QString, state);
    QFETCH(bool, fromMenu);
    QFETCH(int, changedRows);
    QFETCH(QString, stored);
    std::unique_ptr<ExtTableEditor> editor(openEditor());
    QVERIFY(QTest::qWaitForWindowActive(editor.get()));
    selectCells(editor.get(), cells);
    if (fromMenu) {
        QTimer::singleShot(0, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu);
            for (QAction *entry : menu->actions())
                if (entry->text() == state)
                    entry->trigger();
            menu->close();
        });
        emit grid(editor.get())->customContextMenuRequested(QPoint(5, 5));
    } else {
        grid(editor.get())->setFocus();
        const int digit = state == "error" ? 1 : state == "todo" ? 2 : 3;
        QTest::keyClick(grid(editor.get()), Qt::Key(Qt::Key_0 + digit), Qt::ControlModifier);
    }
    QCOMPARE(editor->model->pendingRowCount(), changedRows);
    QVERIFY(editor->save());
    QCOMPARE(storedStates(), stored);
}

// Each Ctrl+Z takes one step back; a row back where it was read has nothing left to save.
void ReviewTest::undoRestoresStates()
{
    std::unique_ptr<ExtTableEditor> editor(openEditor());
    QVERIFY(QTest::qWaitForWindowActive(editor.get()));
    ExtXmlModel *model = editor->model;
    selectCells(editor.get(), "4:code");
    action(editor.get(), "actionValid")->trigger();
    selectCells(editor.get(), "4:code 1:code");
    action(editor.get(), "actionError")->trigger();
    const int first = TestHelpers::rowOf(*model, 1);
    const int fourth = TestHelpers::rowOf(*model, 4);
    QCOMPARE(model->records.at(first)->state(QString("code")), -1);

    grid(editor.get())->setFocus();
    QTest::keyClick(grid(editor.get()), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(model->records.at(first)->state(QString("code")), 1);
    QCOMPARE(model->records.at(fourth)->state(QString("code")), 1);
    QCOMPARE(model->pendingRowCount(), 1);
    QTest::keyClick(grid(editor.get()), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(model->records.at(fourth)->state(QString("code")), 0);
    QCOMPARE(model->pendingRowCount(), 0);
    QCOMPARE(model->headerData(fourth, Qt::Vertical).toInt(), fourth);

    // A step of the form's buttons too; the form shows the undone state.
    ExtRecordModel *form = editor->recordEditor->recordModel;
    form->setRecordFromIndex(model->index(fourth, 0));
    auto *formView = editor->recordEditor->findChild<QTableView *>("tableView");
    formView->selectRow(model->columnRecord.indexOf("birth"));
    auto *errorButton = editor->recordEditor->findChild<QToolButton *>("errorButton");
    errorButton->click();
    QCOMPARE(model->records.at(fourth)->state(QString("birth")), -1);
    QTest::keyClick(errorButton, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(model->records.at(fourth)->state(QString("birth")), 0);
    QCOMPARE(form->state(model->columnRecord.indexOf("birth")), 0);

    // After a save there is nothing to undo.
    selectCells(editor.get(), "4:weight");
    action(editor.get(), "actionValid")->trigger();
    QVERIFY(editor->save());
    QVERIFY(!action(editor.get(), "actionUndoReview")->isEnabled());
    QCOMPARE(storedStates(),
             QString("1:birth:1,1:centre_id:1,1:code:1,1:weight:1,2:birth:1,2:code:-1,4:weight:1"));
}

void ReviewTest::summary_data()
{
    QTest::addColumn<QString>("valid");
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("expected");
    QTest::newRow("loaded") << "" << false << ""
                            << "4 rows · 31 % valid · 1 with errors · 1 marked";
    QTest::newRow("searched") << "" << false << "r-"
                              << "3 rows · 41 % valid · 1 with errors · 1 marked";
    QTest::newRow("after a review step") << "4:code 4:birth 2:code" << false << ""
                                         << "4 rows · 50 % valid · 0 with errors · 1 marked";
    QTest::newRow("after a save") << "4:code 4:birth 2:code" << true << ""
                                  << "4 rows · 50 % valid · 0 with errors · 1 marked";
    QTest::newRow("no row shown") << "" << false << "zzz"
                                  << "0 rows · 0 % valid · 0 with errors · 0 marked";
}

void ReviewTest::summary()
{
    QFETCH(QString, valid);
    QFETCH(bool, save);
    QFETCH(QString, search);
    QFETCH(QString, expected);
    std::unique_ptr<ExtTableEditor> editor(openEditor());
    if (!valid.isEmpty()) {
        selectCells(editor.get(), valid);
        action(editor.get(), "actionValid")->trigger();
    }
    if (save)
        QVERIFY(editor->save());
    editor->searchEdit->setText(search);
    QCOMPARE(summaryText(editor.get()), expected);
}

void ReviewTest::stateToolTip_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("set");
    QTest::addColumn<bool>("save");
    QTest::addColumn<QString>("expected");
    QTest::newRow("stored before the trail") << "1:code"
                                             << "" << false << "valid";
    QTest::newRow("not saved yet") << "2:code"
                                   << "actionValid" << false << "valid (not saved yet)";
    QTest::newRow("saved") << "2:code"
                           << "actionValid" << true << "valid, set by alice on ";
}

void ReviewTest::stateToolTip()
{
    QFETCH(QString, cell);
    QFETCH(QString, set);
    QFETCH(bool, save);
    QFETCH(QString, expected);
    std::unique_ptr<ExtTableEditor> editor(openEditor());
    QVERIFY(editor->model->keepsAuditTrail());
    if (!set.isEmpty()) {
        selectCells(editor.get(), cell);
        action(editor.get(), qPrintable(set))->trigger();
    }
    if (save)
        QVERIFY(editor->save());
    const QString tip = ExtDelegate::stateToolTip(this->cell(editor.get(), cell));
    QVERIFY2(tip.startsWith(expected), qPrintable(tip));
    QVERIFY(!save || QDateTime::fromString(tip.mid(expected.size()), "yyyy-MM-dd HH:mm").isValid());
}

void ReviewTest::statesShownIsRemembered()
{
    std::unique_ptr<ExtTableEditor> editor(openEditor());
    auto *delegate = qobject_cast<ExtDelegate *>(grid(editor.get())->itemDelegate());
    QVERIFY(delegate->statesShown());
    action(editor.get(), "actionReviewStates")->trigger();
    QVERIFY(!delegate->statesShown());
    std::unique_ptr<ExtTableEditor> next(new ExtTableEditor(schemaFile));
    QVERIFY(!action(next.get(), "actionReviewStates")->isChecked());
    QVERIFY(!qobject_cast<ExtDelegate *>(grid(next.get())->itemDelegate())->statesShown());
}

QList<int> ReviewTest::shownIds(ExtTableEditor *editor)
{
    QList<int> ids;
    const QTableView *view = grid(editor);
    for (int visual = 0; visual < editor->model->rowCount(); ++visual) {
        const int row = view->verticalHeader()->logicalIndex(visual);
        if (!view->isRowHidden(row))
            ids << editor->model->records.at(row)->value("id").toInt();
    }
    return ids;
}

void ReviewTest::filter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QList<int>>("shown");
    QTest::newRow("errors") << "rows with an error"
                            << "" << QList<int>{2};
    QTest::newRow("not fully reviewed") << "rows not fully reviewed"
                                        << "" << QList<int>{2, 3, 4};
    QTest::newRow("with the search") << "rows not fully reviewed"
                                     << "s-" << QList<int>{4};
    QTest::newRow("marked") << "rows I marked"
                            << "" << QList<int>{3};
    QTest::newRow("changed since reviewed") << "rows changed since reviewed"
                                            << "" << QList<int>{3};
}

void ReviewTest::filter()
{
    QFETCH(QString, filter);
    QFETCH(QString, search);
    QFETCH(QList<int>, shown);
    std::unique_ptr<ExtTableEditor> editor(openEditor());
    auto *choice = editor->findChild<QComboBox *>("reviewFilter");
    choice->setCurrentIndex(choice->findText(filter));
    QVERIFY(choice->currentText() == filter);
    editor->searchEdit->setText(search);
    QList<int> ids = shownIds(editor.get());
    std::sort(ids.begin(), ids.end());
    QCOMPARE(ids, shown);
}

void ReviewTest::sort_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::addColumn<QList<int>>("shown");
    QTest::newRow("text, descending") << "code" << Qt::DescendingOrder << QList<int>{4, 3, 2, 1};
    QTest::newRow("numbers") << "weight" << Qt::AscendingOrder << QList<int>{1, 4, 2, 3};
    QTest::newRow("dates, empty last") << "birth" << Qt::DescendingOrder << QList<int>{4, 1, 2, 3};
    QTest::newRow("relation by its name")
        << "centre_id" << Qt::AscendingOrder << QList<int>{4, 2, 3, 1};
}

// Sorted by a header click, the top row of the grid is still the record it shows.
void ReviewTest::sort()
{
    QFETCH(QString, field);
    QFETCH(Qt::SortOrder, order);
    QFETCH(QList<int>, shown);
    std::unique_ptr<ExtTableEditor> editor(openEditor());
    QTableView *view = grid(editor.get());
    const int column = 2 + editor->model->columnRecord.indexOf(field);
    QHeaderView *header = view->horizontalHeader();
    do
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 5, 5));
    while (header->sortIndicatorOrder() != order);
    QCOMPARE(shownIds(editor.get()), shown);
    editor->refresh();
    QCOMPARE(shownIds(editor.get()), shown);

    const QModelIndex top = view->indexAt(QPoint(5, 5)).siblingAtColumn(3);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(top).center());
    action(editor.get(), "actionMark")->trigger();
    const int first = TestHelpers::rowOf(*editor->model, shown.first());
    QVERIFY(editor->model->isMarked(first));
    QCOMPARE(editor->recordEditor->recordModel->record().value("id").toInt(), shown.first());
}

// Filtered and sorted as the grid shows it; a value with a comma and quotes is quoted.
void ReviewTest::exportReview()
{
    std::unique_ptr<ExtTableEditor> editor(openEditor());
    auto *choice = editor->findChild<QComboBox *>("reviewFilter");
    choice->setCurrentIndex(choice->findText("rows not fully reviewed"));
    grid(editor.get())->horizontalHeader()->setSortIndicator(3, Qt::DescendingOrder);
    QTemporaryDir dir;
    const QString fileName = dir.filePath("review.csv");
    QString chosen = fileName;
    ModalAnswer answer(ModalAnswer::chooseFile(chosen));
    action(editor.get(), "actionCsvReview")->trigger();
    QVERIFY(answer.answered());
    QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(fileName)});
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::ReadOnly));
    // With the signatures' tables, each line ends in who signed the row and when: none here.
    const QString signature = editor->model->keepsReview() ? ",," : "";
    QCOMPARE(
        QString::fromUtf8(file.readAll()),
        QString("id,id state,Code,Code state,Birth date,Birth date state,Weight (kg),"
                "Weight (kg) state,Centre,Centre state,group_id,group_id state,progress,"
                "mark,created,created by,modified,modified by%1\n"
                "4,todo,S-4,todo,2001-01-15,todo,60,todo,,todo,0,todo,50,0,,,,%2\n"
                "3,todo,R-3,todo,,todo,100,todo,\"Arras, \"\"Nord\"\"\",todo,0,todo,50,1,,,,%2\n"
                "2,todo,R-2,error,1985-12-31,valid,80,todo,\"Arras, \"\"Nord\"\"\",todo,0,"
                "todo,50,0,2026-01-02 03:04:05,alice,2026-02-03 04:05:06,alice%2\n")
            .arg(editor->model->keepsReview() ? ",signed by,signed at" : "", signature));
}

QTEST_MAIN(ReviewTest)
#include "tst_review.moc"
