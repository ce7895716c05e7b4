#include <QtPrintSupport>
#include <QtTest>
#include <QtWidgets>

#include "app/clipboardactions.h"
#include "editor/extlistviewer.h"
#include "editor/extrecordeditor.h"
#include "editor/extrecordmodel.h"
#include "editor/exttableeditor.h"
#include "editor/extxmlmodel.h"
#include "editor/nullabledateedit.h"
#include "editor/relationcombobox.h"
#include "modalanswer.h"
#include "testdatabase.h"
#include "testhelpers.h"
#include "testsettings.h"

using TestHelpers::trigger;

namespace {

const char *const schema = R"(<?xml version="1.0"?>
<table><fields>
  <field name="code"><label>Patient number</label></field>
  <field name="birth"><label>Birth date</label></field>
  <field name="centre_id"><label>Centre</label><relation><tablename>tstcentres</tablename>
    <indexColumn>id</indexColumn><displayColumn>name</displayColumn></relation></field>
  <field name="weight"><label>Weight (kg)</label></field>
</fields></table>)";

const char *const measuresSchema = R"(<?xml version="1.0"?>
<table><fields>
  <field name="code"><label>Code</label></field>
  <field name="birth"><label>Birth date</label></field>
  <field name="weight"><label>Weight (kg)</label></field>
  <field name="visits"><label>Visits</label></field>
</fields></table>)";

struct Unsaved
{
    QString change, how, answer, stored;
};

struct FailedSave
{
    int column;
    QVariant value;
    QString elsewhere; // done after the load: a column narrowed
    QString reason;
};

struct Typed
{
    int column;
    QString typed, refusal, stored; // refusal empty: taken
    bool pasted = false;            // else typed into the cell's editor
};

} // namespace

Q_DECLARE_METATYPE(Unsaved)
Q_DECLARE_METATYPE(FailedSave)
Q_DECLARE_METATYPE(Typed)

class ExtTableEditorTest : public QObject
{
    Q_OBJECT
public slots:
    // Stands in for the desktop.
    void open(const QUrl &url) { urls << url; }

private slots:
    void initTestCase()
    {
        QVERIFY_CREATE(db);
        const int alice = db.addUser("alice", "secret");
        nord = db.addGroup("Nord");
        db.addMembership(nord, alice);
        TestHelpers::logIn(alice);
        // Dates are shown, and so typed, in this locale's form.
        QLocale::setDefault(QLocale::c());
        appDir = QDir(ExtListViewer::schemaDirectory());
        QDesktopServices::setUrlHandler("file", this, "open");
    }
    void init()
    {
        QVERIFY_SCRIPT(db, QString(R"(DROP TABLE IF EXISTS tstpatients, tstcentres, tstmeasures;
    CREATE TABLE tstcentres (id INT PRIMARY KEY, name VARCHAR(40), group_id INT);
    INSERT INTO tstcentres VALUES (1, 'Lille, Nord', 0), (2, 'Arras', 0);
    CREATE TABLE tstpatients (id INT PRIMARY KEY, code VARCHAR(16), birth DATE, centre_id INT,
      group_id INT, weight DECIMAL(5,1));
    INSERT INTO tstpatients VALUES (1, 'P-001', '1950-01-02', 1, %1, NULL),
      (2, 'P-002', '1960-03-04', 2, %1, NULL), (3, 'P-003', '1970-05-06', 1, %1, NULL),
      (4, 'Q-004', NULL, NULL, %1, NULL);
    CREATE TABLE tstmeasures (id INT AUTO_INCREMENT PRIMARY KEY, code VARCHAR(8), birth DATE NULL,
      weight DECIMAL(5,1) NULL, visits TINYINT UNSIGNED NULL, sex ENUM('f','m') NULL, group_id INT);
    INSERT INTO tstmeasures VALUES (1, 'M-1', NULL, 70.5, 3, 'f', 0);
    DELETE FROM ext_records; DELETE FROM ext_records_fields; DELETE FROM ext_records_monitorings)")
                               .arg(nord));
        urls.clear();
    }
    void cleanup()
    {
        for (const QString &file : written)
            QFile::remove(appDir.filePath(file));
        written.clear();
        editor.reset();
        QToolTip::hideText();
    }
    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler("file");
        db.drop();
    }
    void listAdd_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("warning");
        QTest::newRow("a table of the database") << "tstcentres.xml" << QString();
        QTest::newRow("no such table") << "tstnothing.xml" << QString("tstnothing doesn't exist");
    }
    void listAdd()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, warning);
        QTemporaryDir elsewhere;
        const QString chosen = elsewhere.filePath(fileName);
        QVERIFY(TestHelpers::writeFile(chosen, schema));
        written << fileName;
        ExtListViewer list;
        list.load();
        std::unique_ptr<ModalAnswer> box;
        ModalAnswer answer([&](QWidget *modal) {
            ModalAnswer::chooseFile(chosen)(modal);
            // Only now: until the file dialog is gone it is the modal widget a box answer sees.
            box = std::make_unique<ModalAnswer>(ModalAnswer::accept(), 1000);
        });
        list.findChild<QToolBar *>("toolBar")->actions().value(0)->trigger();
        QVERIFY(answer.answered());
        QCOMPARE(box->text(), warning);
        QCOMPARE(box->title(), warning.isEmpty() ? QString() : QString("cannot add table shema"));
        const bool added = fileName == "tstcentres.xml";
        QCOMPARE(TestHelpers::listed(list, ownTables),
                 added ? QStringList{"tstcentres"} : QStringList());
        QCOMPARE(appDir.exists(fileName), added);
    }
    // The schema files of the folder, by table name; an entry opens its editor; removing asks.
    void listRemove()
    {
        writeSchema("tstpatients.xml");
        writeSchema("tstcentres.backup.xml");
        ExtListViewer list;
        list.load();
        QCOMPARE(TestHelpers::listed(list, ownTables), QStringList({"tstcentres", "tstpatients"}));
        for (QAction *entry : list.itemActions())
            if (entry->text() == "tstpatients")
                entry->trigger();
        auto *opened = list.findChild<ExtTableEditor *>();
        QVERIFY(opened && opened->isVisible());
        QCOMPARE(opened->model->fileName, appDir.filePath("tstpatients.xml"));

        auto *rows = list.findChild<QListWidget *>("listWidget");
        for (const QString answer : {"Cancel", "Yes"}) {
            rows->setCurrentItem(rows->findItems("tstpatients", Qt::MatchExactly).value(0));
            ModalAnswer box(ModalAnswer::clickButton(answer));
            list.findChild<QToolBar *>("toolBar")->actions().value(1)->trigger();
            QCOMPARE(box.text(), QString("Are you sure you want delete xml table shema ?"));
            QCOMPARE(box.informativeText(), QString("the file will be definitly deleted"));
            const bool kept = answer == "Cancel";
            QCOMPARE(appDir.exists("tstpatients.xml") +
                         TestHelpers::listed(list, ownTables).contains("tstpatients"),
                     2 * kept);
        }
    }
    void editAndSave()
    {
        open();
        const int row = 1;
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                          view->visualRect(model->index(row, 3)).center());
        QCOMPARE(editor->recordEditor->recordModel->index(3, 1).data().toString(),
                 QString("Arras"));

        // A foreign key through the relation combo box, a date picked in the calendar.
        auto *combo = editorOn<RelationComboBox>(view, model->index(row, 5));
        combo->setCurrentKey(1);
        commit(combo);
        auto *date = editorOn<NullableDateEdit>(view, model->index(row, 4));
        date->findChild<QAction *>("calendarAction")->trigger();
        date->calendar()->setSelectedDate(QDate(1961, 7, 8));
        QTest::keyClick(date->calendar()->focusWidget(), Qt::Key_Return);
        commit(date);

        // Mark the first row; add two, remove the third (clean) and sixth (new).
        view->selectRow(0);
        trigger(editor.get(), "actionMark");
        trigger(editor.get(), "actionAdd");
        trigger(editor.get(), "actionAdd");
        selectRows(view, {2, 5});
        trigger(editor.get(), "actionRem");
        QCOMPARE(model->rowCount(), 5);
        type(editorOn<QLineEdit>(view, model->index(4, 3)), "P-005");
        // An empty date passed through stays empty.
        date = editorOn<NullableDateEdit>(view, model->index(4, 4));
        QCOMPARE(date->text(), QString());
        commit(date);

        trigger(editor.get(), "actionSave");
        // Marked, changed, deleted and new: four rows.
        QCOMPARE(editor->findChild<QLabel *>("savedLabel")->text(), QString("4 rows saved"));
        QCOMPARE(db.scalar("SELECT GROUP_CONCAT(CONCAT_WS('/', IF(id > 4, 'new', id), code, birth, "
                           "centre_id) ORDER BY code) FROM tstpatients")
                     .toString(),
                 QString("1/P-001/1950-01-02/1,2/P-002/1961-07-08/1,new/P-005,4/Q-004"));
    }
    void unsavedRowsAsk_data()
    {
        QTest::addColumn<Unsaved>("c");
        const QString before = "P-001,P-002,P-003,Q-004 marks 0";
        QTest::newRow("edit, close button, Cancel") << Unsaved{"edit", "close", "Cancel", before};
        QTest::newRow("new row, close button, Discard")
            << Unsaved{"add", "close", "Discard", before};
        QTest::newRow("deletion, refresh, Save")
            << Unsaved{"rem", "refresh", "Save", "P-002,P-003,Q-004 marks 0"};
        QTest::newRow("mark, close action, Save")
            << Unsaved{"mark", "actionClose", "Save", "P-001,P-002,P-003,Q-004 marks 1"};
    }
    // Closing or reloading an editor with unsaved rows asks first.
    void unsavedRowsAsk()
    {
        QFETCH(Unsaved, c);
        open();
        if (c.change == "edit")
            model->setData(model->index(0, 3), "P-100");
        else if (c.change == "add")
            model->insertRecord(-1);
        else if (c.change == "rem")
            model->removeRecord(0);
        else
            model->setMarked(0, true);

        ModalAnswer box(ModalAnswer::clickButton(c.answer));
        if (c.how == "close")
            editor->close();
        else
            trigger(editor.get(), c.how == "refresh" ? "actionRefresh" : "actionClose");
        QVERIFY(box.answered());
        QCOMPARE(box.text(), QString("Unsaved changes in tstpatients (1 row)."));
        // Cancel keeps the editor open and its rows; Save writes them before going on.
        QCOMPARE(editor->isVisible(), c.answer == "Cancel" || c.how == "refresh");
        QCOMPARE(db.scalar("SELECT GROUP_CONCAT(code ORDER BY id) FROM tstpatients").toString() +
                     QString(" marks %1").arg(db.count("ext_records_monitorings")),
                 c.stored);
        QCOMPARE(model->pendingRowCount(), c.answer == "Save" ? 0 : 1);
    }
    void failedSaveShowsItsRow_data()
    {
        QTest::addColumn<FailedSave>("c");
        QTest::newRow("out of range")
            << FailedSave{7, 999.5, "ALTER TABLE tstpatients MODIFY weight DECIMAL(3,1)",
                          "Weight (kg): 999.5 is larger than the column allows (at most 99.9)"};
        QTest::newRow("too long") << FailedSave{
            3, "P-0042", "ALTER TABLE tstpatients MODIFY code VARCHAR(5)",
            "Patient number: \"P-0042\" is longer than the column allows (at most 5 characters)"};
    }
    // The row that stopped a save is named, with the reason in words, and selected.
    void failedSaveShowsItsRow()
    {
        QFETCH(FailedSave, c);
        open();
        const int row = TestHelpers::rowOf(*model, 2);
        QVERIFY(model->setData(model->index(row, c.column), c.value));
        QVERIFY_SQL(db, c.elsewhere);

        ModalAnswer box(ModalAnswer::accept());
        trigger(editor.get(), "actionSave");
        QVERIFY(box.answered());
        QCOMPARE(box.title(), QString("not saved"));
        const QString code = model->index(row, 3).data().toString();
        const QString named = QString("The save of tstpatients stopped at row %1 (2 | %2 | ");
        QVERIFY2(box.text().startsWith(named.arg(row).arg(code)), qPrintable(box.text()));
        QVERIFY2(box.informativeText().startsWith(c.reason + "\n"),
                 qPrintable(box.informativeText()));
        QCOMPARE(editor->statusBar()->currentMessage(), QString("error, cannot save item 2"));
        QCOMPARE(view->selectionModel()->selectedRows().value(0).row(), row);
        QCOMPARE(db.count("tstpatients", "code = 'P-002' AND weight IS NULL"), 1);
    }
    void exportCsv()
    {
        open();
        // Hidden in the view, exported all the same.
        view->setColumnHidden(3, true);
        QTemporaryDir dir;
        const QString path = dir.filePath("patients.csv");
        ModalAnswer answer(ModalAnswer::chooseFile(path));
        trigger(editor.get(), "actionCsv");
        QVERIFY(answer.answered());
        QCOMPARE(urls, QList<QUrl>{QUrl::fromLocalFile(path)});
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
        lines.sort();
        QCOMPARE(
            lines.mid(0, 2),
            QStringList({"", QString(",50,1,P-001,1950-01-02,\"Lille, Nord\",%1,").arg(nord)}));
        QCOMPARE(lines.size(), 5);
    }
    void print()
    {
        open();
        QTemporaryDir dir;
        const QString path = dir.filePath("printed.pdf");
        ModalAnswer answer([&](QWidget *modal) {
            auto *dialog = qobject_cast<QPrintDialog *>(modal);
            // Accepting copies the dialog's own choices into the printer; a file is chosen after.
            QPrinter *printer = dialog->printer();
            connect(dialog, &QDialog::accepted, dialog, [printer, path] {
                printer->setOutputFormat(QPrinter::PdfFormat);
                printer->setOutputFileName(path);
            });
            dialog->accept();
        });
        trigger(editor.get(), "actionPrint");
        QVERIFY(answer.answered());
        QProcess convert;
        convert.start(QStandardPaths::findExecutable("pdftotext"), {path, "-"});
        QVERIFY(convert.waitForFinished(30000));
        QVERIFY(convert.readAllStandardOutput().contains("P-003"));
    }
    void cellTakesWhatColumnHolds_data()
    {
        QTest::addColumn<Typed>("c");
        QTest::newRow("text too long")
            << Typed{3, "M-12345678",
                     "Code: 10 characters are more than the column allows (at most 8)", "M-1"};
        QTest::newRow("number too large") << Typed{
            5, "99999", "Weight (kg): 99999 is larger than the column allows (at most 9999.9)",
            "70.5"};
        QTest::newRow("too many decimals") << Typed{
            5, "70.25", "Weight (kg): 70.25 has more decimals than the column allows (at most 1)",
            "70.5"};
        QTest::newRow("number that fits") << Typed{5, "-12.5", {}, "-12.5"};
        QTest::newRow("below an unsigned column")
            << Typed{6, "-1", "Visits: -1 is smaller than the column allows (at least 0)", "3"};
        QTest::newRow("pasted above an unsigned column") << Typed{
            6, "256", "Visits: 256 is larger than the column allows (at most 255)", "3", true};
        QTest::newRow("no number") << Typed{6, "3x", "Visits: \"3x\" is not a number", "3"};
        QTest::newRow("date in the form shown") << Typed{4, "15 Mar 1970", {}, "1970-03-15"};
        QTest::newRow("no date") << Typed{
            4, "31 Feb 1970",
            "Birth date: \"31 Feb 1970\" is not a date; write it as 15 "
            "Mar 1970, or leave it empty for no date",
            "NULL"};
    }
    // A value the column cannot hold is refused, beside the cell or for a pasted one in the
    // editor's refusal box, and never reaches the server.
    void cellTakesWhatColumnHolds()
    {
        QFETCH(Typed, c);
        open("tstmeasures", measuresSchema);
        if (c.pasted) {
            view->setCurrentIndex(model->index(0, c.column));
            QApplication::clipboard()->setText(c.typed);
            ClipboardActions::paste(view);
            QCOMPARE(editor->findChild<QMessageBox *>("refusalBox")->text(), c.refusal);
        } else {
            type(editorOn<QLineEdit>(view, model->index(0, c.column)), c.typed);
            if (!c.refusal.isEmpty()) {
                QTRY_VERIFY(QToolTip::isVisible());
                QCOMPARE(QToolTip::text(), c.refusal);
            }
        }
        QCOMPARE(model->pendingRowCount(), c.refusal.isEmpty() ? 1 : 0);
        trigger(editor.get(), "actionSave");
        const QString name = model->record().fieldName(c.column - 2);
        QCOMPARE(db.scalar("SELECT IFNULL(" + name + ", 'NULL') FROM tstmeasures").toString(),
                 c.stored);
    }
    // An enumeration offers its values, and an empty entry where the column may be null.
    void enumerationIsAChoice()
    {
        open("tstmeasures", measuresSchema);
        auto *choice = editorOn<QComboBox>(view, model->index(0, 7));
        QCOMPARE(choice->count(), 3);
        QCOMPARE(choice->itemText(0) + choice->currentText(), QString("f"));
        choice->setCurrentIndex(2);
        commit(choice);
        trigger(editor.get(), "actionSave");
        QCOMPARE(db.scalar("SELECT sex FROM tstmeasures").toString(), QString("m"));
    }

private:
    void writeSchema(const QString &fileName, const char *text = schema)
    {
        QVERIFY(TestHelpers::writeFile(appDir.filePath(fileName), text));
        written << fileName;
    }
    void open(const QString &tableName = "tstpatients", const char *text = schema);
    static void selectRows(QTableView *view, const QList<int> &rows);
    template<class Editor>
    static Editor *editorOn(QTableView *view, const QModelIndex &index)
    {
        view->setCurrentIndex(index);
        view->edit(index);
        return view->findChild<Editor *>();
    }
    // Ends an edit; the delegate commits it from the event loop.
    static void commit(QWidget *editor)
    {
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
        // The closed editor goes, so that the next look-up finds the next one.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    static void type(QLineEdit *line, const QString &text)
    {
        QVERIFY(line);
        line->selectAll();
        QTest::keyClicks(line, text);
        commit(line);
    }

    TestSettings settings;
    TestDatabase db;
    std::unique_ptr<ExtTableEditor> editor;
    QTableView *view = nullptr;
    ExtXmlModel *model = nullptr;
    QDir appDir;
    QStringList written;
    // Other tests write schemas of their own into the same folder, at the same time.
    const QStringList ownTables{"tstcentres", "tstpatients", "tstnothing"};
    QList<QUrl> urls;
    int nord = 0;
};

void ExtTableEditorTest::open(const QString &tableName, const char *text)
{
    writeSchema(tableName + ".xml", text);
    editor = std::make_unique<ExtTableEditor>(appDir.filePath(tableName + ".xml"));
    editor->resize(1000, 600);
    editor->show();
    trigger(editor.get(), "actionRefresh");
    view = editor->findChild<QTableView *>("tableView");
    model = editor->model;
}

void ExtTableEditorTest::selectRows(QTableView *view, const QList<int> &rows)
{
    view->clearSelection();
    for (int row : rows)
        view->selectionModel()->select(view->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QTEST_MAIN(ExtTableEditorTest)
#include "tst_exttableeditor.moc"
