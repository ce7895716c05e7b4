#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSqlQueryModel>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolBar>
#include <QtTest>

#include "db/sqlhelper.h"
#include "modalanswer.h"
#include "query/queryeditor.h"
#include "query/querylistviewer.h"
#include "query/querysavedialog.h"
#include "query/sqlquerydialog.h"
#include "testdatabase.h"
#include "testhelpers.h"
#include "testsettings.h"

// The query editor, the saved-query list and the row picker against the real server.
class QueryTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void openAndRun_data();
    void openAndRun();
    void editingAndClearingDisableTheResultActions();
    void save_data();
    void save();
    void listShowsTheUsersGroups();
    void listToolActions_data();
    void listToolActions();
    void exportCsv();
    void exportPdf();
    void picker_data();
    void picker();
    void runWithTheKeyboard();

private:
    void logIn(int userId) { TestHelpers::logIn(userId); }
    QueryEditor *openEditor(const QString &query);
    static QAction *action(QWidget *window, const char *name);
    static QString tabName(QueryEditor *editor);
    static bool resultActionsEnabled(QueryEditor *editor);

    TestSettings settings;
    TestDatabase db;
    int alice = 0;
    int lonely = 0;
    int nord = 0;
    int sud = 0;
    int other = 0;
    QList<QWidget *> windows;
};

void QueryTest::initTestCase()
{
    QVERIFY_CREATE(db);
    alice = db.addUser("alice", "secret");
    lonely = db.addUser("lonely", "secret");
    const int bob = db.addUser("bob", "secret");
    nord = db.addGroup("Nord");
    sud = db.addGroup("Sud");
    other = db.addGroup("Other");
    db.addMembership(nord, alice);
    db.addMembership(sud, alice);
    db.addMembership(other, bob);
    QVERIFY(db.exec("CREATE TABLE samples (id INT PRIMARY KEY, label VARCHAR(40))"));
    QVERIFY(db.exec("INSERT INTO samples VALUES (1, 'plain'), (2, 'a, b'), (3, 'say \"hi\"')"));
}

void QueryTest::init()
{
    qDeleteAll(windows);
    windows.clear();
    QVERIFY(db.exec("DELETE FROM querys"));
    logIn(alice);
}

void QueryTest::cleanupTestCase()
{
    qDeleteAll(windows);
    db.drop();
}

QueryEditor *QueryTest::openEditor(const QString &query)
{
    auto *editor = new QueryEditor(query);
    windows << editor;
    editor->show();
    return editor;
}

QAction *QueryTest::action(QWidget *window, const char *name)
{
    return window->findChild<QAction *>(name);
}

QString QueryTest::tabName(QueryEditor *editor)
{
    auto *tabs = editor->findChild<QTabWidget *>("tabWidget");
    return tabs->tabText(tabs->currentIndex());
}

bool QueryTest::resultActionsEnabled(QueryEditor *editor)
{
    const bool save = action(editor, "actionSave")->isEnabled();
    // The three always move together.
    if (action(editor, "actionPdf")->isEnabled() != save ||
        action(editor, "actionCsv")->isEnabled() != save)
        qFatal("result actions out of step");
    return save;
}

void QueryTest::openAndRun_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("tab"); // after "run"
    QTest::addColumn<bool>("enabled");
    // clang-format off
    QTest::newRow("rows") << "SELECT id, label FROM samples ORDER BY id" << 3 << "Result" << true;
    QTest::newRow("no rows") << "UPDATE samples SET label = label WHERE id = 0" << 0 << "Result"
            << true;
    QTest::newRow("error") << "SELECT * FROM missing_table" << 0 << "Message" << false;
    // clang-format on
}

// Opened with a statement, the editor runs it once but offers no result to save until "run".
void QueryTest::openAndRun()
{
    QFETCH(QString, query);
    QFETCH(int, rows);
    QFETCH(QString, tab);
    QFETCH(bool, enabled);
    db.markStatements();
    QueryEditor *editor = openEditor(query);
    QCOMPARE(db.statements().count(query), 1);
    auto *result = editor->findChild<QTableView *>("tableView");
    QCOMPARE(result->model()->rowCount(), rows);
    QCOMPARE(tabName(editor), QString("Result"));
    QVERIFY(!resultActionsEnabled(editor));
    action(editor, "actionRun")->trigger();
    QCOMPARE(tabName(editor), tab);
    QCOMPARE(resultActionsEnabled(editor), enabled);
    QCOMPARE(result->model()->rowCount(), rows);
    const QString message = editor->findChild<QTextEdit *>("messageTextEdit")->toPlainText();
    QVERIFY2(enabled ? message.isEmpty() : message.contains("missing_table"), qPrintable(message));
}

void QueryTest::editingAndClearingDisableTheResultActions()
{
    QueryEditor *editor = openEditor(QString());
    auto *text = editor->findChild<QTextEdit *>("textEdit");
    text->setPlainText("SELECT id FROM samples");
    action(editor, "actionRun")->trigger();
    QVERIFY(resultActionsEnabled(editor));
    QTest::keyClick(text, Qt::Key_Space);
    QVERIFY(!resultActionsEnabled(editor));

    action(editor, "actionRun")->trigger();
    QVERIFY(resultActionsEnabled(editor));
    action(editor, "actionclear")->trigger();
    QVERIFY(!resultActionsEnabled(editor));
    QVERIFY(text->toPlainText().isEmpty());
    auto *model = editor->findChild<QTableView *>("tableView")->model();
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(model->columnCount(), 0);
}

void QueryTest::save_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("groupRow");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("groups"); // offered in the dialog
    QTest::addColumn<int>("rows");   // of querys afterwards
    QTest::newRow("replaces a name of another group")
        << "alice"
        << "weekly"
        << "SELECT id FROM samples" << 1 << "pushButton" << 2 << 1;
    QTest::newRow("quotes and backslashes")
        << "alice"
        << "O'Brien's \"best\" a\\b"
        << "SELECT 'it''s', label FROM samples" << 0 << "pushButton" << 2 << 2;
    QTest::newRow("cancel") << "alice"
                            << "one"
                            << "SELECT 1" << 0 << "pushButton_2" << 2 << 1;
    QTest::newRow("user in no group") << "lonely"
                                      << "one"
                                      << "SELECT 1" << -1 << "pushButton" << 0 << 2;
}

void QueryTest::save()
{
    QFETCH(QString, user);
    QFETCH(QString, name);
    QFETCH(QString, query);
    QFETCH(int, groupRow);
    QFETCH(QString, button);
    QFETCH(int, groups);
    QFETCH(int, rows);
    logIn(user == "alice" ? alice : lonely);
    QVERIFY(db.exec(QString("INSERT INTO querys (id, name, query, group_id) VALUES "
                            "(50, 'weekly', 'SELECT 0', %1)")
                        .arg(other)));
    QueryEditor *editor = openEditor(query);
    action(editor, "actionRun")->trigger();
    QVERIFY(resultActionsEnabled(editor));

    int offered = -1;
    ModalAnswer answer([&](QWidget *modal) {
        auto *combo = modal->findChild<QComboBox *>("comboBox");
        offered = combo->count();
        combo->setCurrentIndex(groupRow);
        QTest::keyClicks(modal->findChild<QLineEdit *>("lineEdit"), name);
        QTest::mouseClick(modal->findChild<QPushButton *>(button), Qt::LeftButton);
    });
    action(editor, "actionSave")->trigger();
    QVERIFY(answer.answered());
    QCOMPARE(answer.className(), QString("QuerySaveDialog"));
    QCOMPARE(offered, groups);
    QCOMPARE(db.count("querys"), rows);
    if (button != "pushButton")
        return;
    const int group = groupRow < 0 ? 0 : groupRow == 0 ? nord : sud;
    QCOMPARE(db.count("querys", "name = " + SqlHelper::literal(name) +
                                    " AND query = " + SqlHelper::literal(query) +
                                    " AND group_id = " + QString::number(group)),
             1);
    if (groupRow < 0)
        return;
    // Listed under its name, and opened again with its text.
    QueryListViewer list;
    list.load();
    QStringList entries;
    for (QAction *entry : list.itemActions())
        entries << entry->text() + "|" + entry->data().toString();
    QVERIFY2(entries.contains(name + "|" + query), qPrintable(entries.join(" / ")));
}

void QueryTest::listShowsTheUsersGroups()
{
    QVERIFY(db.exec(QString("INSERT INTO querys (id, name, query, group_id) VALUES "
                            "(1, 'north', 'SELECT 1', %1), (2, 'south', 'SELECT 2', %2), "
                            "(3, 'elsewhere', 'SELECT 3', %3)")
                        .arg(nord)
                        .arg(sud)
                        .arg(other)));
    QueryListViewer list;
    db.markStatements();
    list.load();
    QVERIFY(db.statements().contains(
        "Select q.* from querys q,groups_users gu WHERE q.group_id = gu.group_id AND gu.user_id=" +
        QString::number(alice)));
    QStringList names;
    for (QAction *entry : list.itemActions())
        names << entry->text();
    names.sort();
    QCOMPARE(names, QStringList({"north", "south"}));

    logIn(lonely);
    list.load();
    QCOMPARE(list.findChild<QListWidget *>("listWidget")->count(), 0);
}

void QueryTest::listToolActions_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QString>("confirm");
    QTest::addColumn<int>("editors");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("remaining");
    // The entry's own action, as a double-click triggers it: opened and run.
    QTest::newRow("entry") << ""
                           << "" << 1 << "SELECT 'target'" << QStringList{"keep", "target"};
    QTest::newRow("add table") << "add table"
                               << "" << 1 << "" << QStringList{"keep", "target"};
    QTest::newRow("rem table, yes") << "rem table"
                                    << "Yes" << 0 << "" << QStringList{"keep"};
    QTest::newRow("rem table, no") << "rem table"
                                   << "No" << 0 << "" << QStringList{"keep", "target"};
    QTest::newRow("edit table") << "edit table"
                                << "" << 1 << "SELECT 'target'" << QStringList{"keep", "target"};
}

void QueryTest::listToolActions()
{
    QFETCH(QString, tool);
    QFETCH(QString, confirm);
    QFETCH(int, editors);
    QFETCH(QString, text);
    QFETCH(QStringList, remaining);
    QVERIFY(db.exec(QString("INSERT INTO querys (id, name, query, group_id) VALUES "
                            "(1, 'keep', 'SELECT ''keep''', %1), "
                            "(2, 'target', 'SELECT ''target''', %1)")
                        .arg(nord)));
    QueryListViewer list;
    list.load();
    auto *rows = list.findChild<QListWidget *>("listWidget");
    rows->setCurrentItem(rows->findItems("target", Qt::MatchExactly).value(0));
    QVERIFY(rows->currentItem());

    QAction *chosen = nullptr;
    for (QAction *candidate : list.findChild<QToolBar *>("toolBar")->actions())
        if (candidate->text() == tool)
            chosen = candidate;
    for (QAction *entry : list.itemActions())
        if (tool.isEmpty() && entry->text() == "target")
            chosen = entry;
    QVERIFY(chosen);
    ModalAnswer answer(ModalAnswer::clickButton(confirm), confirm.isEmpty() ? 200 : 10000);
    chosen->trigger();
    QCOMPARE(answer.answered(), !confirm.isEmpty());

    const QList<QueryEditor *> opened = list.findChildren<QueryEditor *>();
    QCOMPARE(opened.size(), editors);
    if (editors) {
        QueryEditor *editor = opened.first();
        QCOMPARE(editor->findChild<QTextEdit *>("textEdit")->toPlainText(), text);
        // Opened for editing, nothing ran; an entry runs at once.
        QCOMPARE(editor->findChild<QTableView *>("tableView")->model()->rowCount(),
                 tool.isEmpty() ? 1 : 0);
    }
    QStringList names;
    for (QAction *entry : list.itemActions())
        names << entry->text();
    names.sort();
    QCOMPARE(names, remaining);
    QCOMPARE(db.count("querys"), remaining.size());
}

void QueryTest::exportCsv()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("result.csv");
    QueryEditor *editor = openEditor("SELECT id, label FROM samples ORDER BY id");
    action(editor, "actionRun")->trigger();
    ModalAnswer answer(ModalAnswer::chooseFile(path));
    action(editor, "actionCsv")->trigger();
    QVERIFY(answer.answered());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    QCOMPARE(lines, QStringList({"id,label", "1,plain", "2,\"a, b\"", "3,\"say \"\"hi\"\"\"", ""}));
}

void QueryTest::exportPdf()
{
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    QVERIFY2(!pdftotext.isEmpty(), "pdftotext (poppler-utils) is needed");
    QVERIFY(db.exec("CREATE TABLE many AS SELECT seq AS n, CONCAT('row ', seq) AS label "
                    "FROM seq_1_to_300"));
    QTemporaryDir dir;
    const QString path = dir.filePath("result.pdf");
    QueryEditor *editor = openEditor("SELECT n, label FROM many ORDER BY n");
    action(editor, "actionRun")->trigger();
    ModalAnswer answer(ModalAnswer::chooseFile(path));
    action(editor, "actionPdf")->trigger();
    QVERIFY(answer.answered());

    QProcess convert;
    convert.start(pdftotext, {"-layout", path, "-"});
    QVERIFY(convert.waitForFinished(30000));
    QCOMPARE(convert.exitCode(), 0);
    const QString text = QString::fromUtf8(convert.readAllStandardOutput());
    QVERIFY(text.contains(QRegularExpression("\\brow 1\\b")));
    QVERIFY(text.contains("row 300"));
}

void QueryTest::picker_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("no pattern") << "" << QStringList{"alice", "lonely", "bob"};
    // Hides alice, the first row of the whole result: the choice is the row shown.
    QTest::newRow("first row hidden") << "o" << QStringList{"lonely", "bob"};
    QTest::newRow("group") << "(ali)" << QStringList{"alice"};
}

void QueryTest::picker()
{
    QFETCH(QString, pattern);
    QFETCH(QStringList, shown);
    SqlQueryDialog dialog;
    dialog.setQuery("select id,username,first_name,second_name from users order by id");
    dialog.show();
    auto *columns = dialog.findChild<QComboBox *>("comboBox");
    QStringList names;
    for (int i = 0; i < columns->count(); ++i)
        names << columns->itemText(i);
    QCOMPARE(names, QStringList({"id", "username", "first_name", "second_name"}));
    columns->setCurrentIndex(1);
    auto *view = dialog.findChild<QTableView *>("tableView");
    QTest::keyClicks(dialog.findChild<QLineEdit *>("lineEdit"), pattern);
    QStringList seen;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        seen << view->model()->index(row, 1).data().toString();
    QCOMPARE(seen, shown);
    QVERIFY(!dialog.findChild<QLabel *>("messageLabel")->isVisible());
    QVERIFY(dialog.selectedRecords().isEmpty());
    view->selectRow(shown.size() - 1);
    const QList<QSqlRecord> chosen = dialog.selectedRecords();
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen.first().value("username").toString(), shown.last());
}

void QueryTest::runWithTheKeyboard()
{
    QueryEditor *editor = openEditor(QString());
    QVERIFY(QTest::qWaitForWindowActive(editor));
    auto *text = editor->findChild<QTextEdit *>("textEdit");
    text->setFocus();
    QTest::keyClicks(text, "SELECT id FROM samples");
    QTest::keySequence(text, QKeySequence("Ctrl+Return"));
    QCOMPARE(editor->findChild<QTableView *>("tableView")->model()->rowCount(), 3);
    // The statement runs; no line break is typed into it.
    QCOMPARE(text->toPlainText(), QString("SELECT id FROM samples"));
}

QTEST_MAIN(QueryTest)
#include "tst_query.moc"
