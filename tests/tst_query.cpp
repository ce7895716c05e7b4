#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QtTest>

#include "db/sqlhelper.h"
#include "modalanswer.h"
#include "query/queryeditor.h"
#include "query/querylistviewer.h"
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
    void save_data();
    void save();
    void listToolActions_data();
    void listToolActions();
    void exports();
    void picker_data();
    void picker();
    void writesForAdministrators_data();
    void writesForAdministrators();
    void cancel();
    void sessionLasts();
    void closeWhileRunning_data();
    void closeWhileRunning();
    void pickerStopsWithTheDialog();

private:
    QueryEditor *openEditor(const QString &query);
    static void trigger(QWidget *window, const char *name)
    {
        window->findChild<QAction *>(name)->trigger();
    }
    // Waits for the end of the editor's statement.
    static bool ended(QueryEditor *editor);
    static bool runToEnd(QueryEditor *editor)
    {
        trigger(editor, "actionRun");
        return ended(editor);
    }
    // An editor whose long statement has been seen running on the server.
    QueryEditor *startSleep();
    int sleeping() const
    {
        return db.count("information_schema.PROCESSLIST",
                        "INFO LIKE 'SELECT SLEEP%' AND DB = DATABASE()");
    }
    // Save, PDF and CSV always move together.
    static bool resultActionsEnabled(QueryEditor *editor);
    QStringList listed(QueryListViewer &list) const;

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
    // A statement that reads, and writes behind it.
    QVERIFY(db.exec("CREATE FUNCTION tstwrite() RETURNS INT MODIFIES SQL DATA BEGIN "
                    "INSERT INTO samples VALUES (10, 'hidden'); RETURN 1; END"));
}

void QueryTest::init()
{
    qDeleteAll(windows);
    windows.clear();
    QVERIFY(db.exec("DELETE FROM querys"));
    // Without the group "administrators", everybody may write.
    QVERIFY(db.exec("DELETE gu FROM groups_users gu JOIN groups g ON g.id = gu.group_id "
                    "WHERE g.name = 'administrators'"));
    QVERIFY(db.exec("DELETE FROM groups WHERE name = 'administrators'"));
    TestHelpers::logIn(alice);
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

bool QueryTest::ended(QueryEditor *editor)
{
    auto *run = editor->findChild<QAction *>("actionRun");
    return QTest::qWaitFor([run] { return run->isEnabled(); }, 20000);
}

QueryEditor *QueryTest::startSleep()
{
    QueryEditor *editor = openEditor(QString());
    editor->edit("SELECT SLEEP(30)");
    trigger(editor, "actionRun");
    return QTest::qWaitFor([this] { return sleeping() > 0; }, 10000) ? editor : nullptr;
}

bool QueryTest::resultActionsEnabled(QueryEditor *editor)
{
    const bool save = editor->findChild<QAction *>("actionSave")->isEnabled();
    if (editor->findChild<QAction *>("actionPdf")->isEnabled() != save ||
        editor->findChild<QAction *>("actionCsv")->isEnabled() != save)
        qFatal("result actions out of step");
    return save;
}

QStringList QueryTest::listed(QueryListViewer &list) const
{
    QStringList names;
    for (QAction *entry : list.itemActions())
        names << entry->text();
    names.sort();
    return names;
}

void QueryTest::openAndRun_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("tab");        // after "run": 0 result, 1 message
    QTest::addColumn<QString>("status"); // begins the status line after a run
    QTest::newRow("rows") << "SELECT id, label FROM samples ORDER BY id" << 3 << 0
                          << "3 row(s) returned in ";
    QTest::newRow("no rows") << "UPDATE samples SET label = label WHERE id < 3" << 0 << 0
                             << "0 row(s) affected in ";
    QTest::newRow("error") << "SELECT * FROM missing_table" << 0 << 1 << "failed after ";
}

// Opened with a statement, the editor runs it once but offers no result to save until "run";
// an edit makes the result stale again.
void QueryTest::openAndRun()
{
    QFETCH(QString, query);
    QFETCH(int, rows);
    QFETCH(int, tab);
    QFETCH(QString, status);
    QueryEditor *editor = openEditor(query);
    QVERIFY(ended(editor));
    auto *result = editor->findChild<QTableView *>("tableView");
    auto *tabs = editor->findChild<QTabWidget *>("tabWidget");
    QCOMPARE(result->model()->rowCount(), rows);
    QCOMPARE(tabs->currentIndex(), 0);
    QVERIFY(!resultActionsEnabled(editor));
    QVERIFY(runToEnd(editor));
    QCOMPARE(tabs->currentIndex(), tab);
    QCOMPARE(resultActionsEnabled(editor), tab == 0);
    QCOMPARE(result->model()->rowCount(), rows);
    const QString message = editor->findChild<QTextEdit *>("messageTextEdit")->toPlainText();
    QVERIFY2(tab == 0 ? message.isEmpty() : message.contains("missing_table"), qPrintable(message));
    const QString shown = editor->statusBar()->currentMessage();
    QVERIFY2(shown.startsWith(status) && shown.endsWith(" s"), qPrintable(shown));
    QTest::keyClick(editor->findChild<QTextEdit *>("textEdit"), Qt::Key_Space);
    QVERIFY(!resultActionsEnabled(editor));
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
    // clang-format off
    QTest::newRow("replaces a name of another group") << "alice" << "weekly"
            << "SELECT id FROM samples" << 1 << "pushButton" << 2 << 1;
    QTest::newRow("quotes and backslashes") << "alice" << "O'Brien's \"best\" a\\b"
            << "SELECT 'it''s', label FROM samples" << 0 << "pushButton" << 2 << 2;
    QTest::newRow("cancel") << "alice" << "one" << "SELECT 1" << 0 << "pushButton_2" << 2 << 1;
    QTest::newRow("user in no group") << "lonely" << "one" << "SELECT 1" << -1 << "pushButton"
            << 0 << 2;
    // clang-format on
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
    TestHelpers::logIn(user == "alice" ? alice : lonely);
    QVERIFY(db.exec(QString("INSERT INTO querys (id, name, query, group_id) VALUES "
                            "(50, 'weekly', 'SELECT 0', %1)")
                        .arg(other)));
    QueryEditor *editor = openEditor(query);
    QVERIFY(ended(editor));
    QVERIFY(runToEnd(editor));

    int offered = -1;
    ModalAnswer answer([&](QWidget *modal) {
        auto *combo = modal->findChild<QComboBox *>("comboBox");
        offered = combo->count();
        combo->setCurrentIndex(groupRow);
        QTest::keyClicks(modal->findChild<QLineEdit *>("lineEdit"), name);
        QTest::mouseClick(modal->findChild<QPushButton *>(button), Qt::LeftButton);
    });
    trigger(editor, "actionSave");
    QVERIFY(answer.answered());
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

void QueryTest::listToolActions_data()
{
    QTest::addColumn<QString>("tool"); // "": the entry's own action, as a double-click
    QTest::addColumn<QString>("confirm");
    QTest::addColumn<bool>("opened");
    QTest::addColumn<QStringList>("remaining");
    // clang-format off
    QTest::newRow("entry") << "" << "" << true << QStringList{"keep", "target"};
    QTest::newRow("rem table, yes") << "rem table" << "Yes" << false << QStringList{"keep"};
    QTest::newRow("rem table, no") << "rem table" << "No" << false
            << QStringList{"keep", "target"};
    QTest::newRow("edit table") << "edit table" << "" << true << QStringList{"keep", "target"};
    // clang-format on
}

void QueryTest::listToolActions()
{
    QFETCH(QString, tool);
    QFETCH(QString, confirm);
    QFETCH(bool, opened);
    QFETCH(QStringList, remaining);
    // The list holds the queries of the user's groups only.
    QVERIFY(db.exec(QString("INSERT INTO querys (id, name, query, group_id) VALUES "
                            "(1, 'keep', 'SELECT ''keep''', %1), "
                            "(2, 'target', 'SELECT ''target''', %2), "
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
    QCOMPARE(listed(list), QStringList({"keep", "target"}));
    auto *rows = list.findChild<QListWidget *>("listWidget");
    rows->setCurrentItem(rows->findItems("target", Qt::MatchExactly).value(0));
    QAction *chosen = nullptr;
    for (QAction *candidate : list.findChild<QToolBar *>("toolBar")->actions() + list.itemActions())
        if (candidate->text() == (tool.isEmpty() ? QString("target") : tool))
            chosen = candidate;
    QVERIFY(chosen);
    ModalAnswer answer(ModalAnswer::clickButton(confirm), confirm.isEmpty() ? 200 : 10000);
    chosen->trigger();
    QCOMPARE(answer.answered(), !confirm.isEmpty());

    const QList<QueryEditor *> editors = list.findChildren<QueryEditor *>();
    QCOMPARE(editors.size(), opened ? 1 : 0);
    if (opened) {
        QCOMPARE(editors.first()->findChild<QTextEdit *>("textEdit")->toPlainText(),
                 QString("SELECT 'target'"));
        // Opened for editing, nothing ran; an entry runs at once.
        QVERIFY(ended(editors.first()));
        QCOMPARE(editors.first()->findChild<QTableView *>("tableView")->model()->rowCount(),
                 tool.isEmpty() ? 1 : 0);
    }
    QCOMPARE(listed(list), remaining);
    QCOMPARE(db.count("querys"), remaining.size() + 1);
}

void QueryTest::exports()
{
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    QVERIFY2(!pdftotext.isEmpty(), "pdftotext (poppler-utils) is needed");
    QTemporaryDir dir;
    QueryEditor *editor = openEditor("SELECT id, label FROM samples ORDER BY id");
    QVERIFY(ended(editor));
    QVERIFY(runToEnd(editor));
    for (const QString format : {"Csv", "Pdf"}) {
        ModalAnswer answer(ModalAnswer::chooseFile(dir.filePath("result." + format.toLower())));
        trigger(editor, qPrintable("action" + format));
        QVERIFY(answer.answered());
    }
    QFile csv(dir.filePath("result.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll(), QByteArray("id,label\n1,plain\n2,\"a, b\"\n3,\"say \"\"hi\"\"\"\n"));
    QProcess convert;
    convert.start(pdftotext, {"-layout", dir.filePath("result.pdf"), "-"});
    QVERIFY(convert.waitForFinished(30000));
    QCOMPARE(convert.exitCode(), 0);
    const QString text = QString::fromUtf8(convert.readAllStandardOutput());
    QVERIFY2(text.contains(QRegularExpression("1\\s+plain")) && text.contains("say \"hi\""),
             qPrintable(text));
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
    QTRY_COMPARE(dialog.findChild<QComboBox *>("comboBox")->count(), 4);
    dialog.findChild<QComboBox *>("comboBox")->setCurrentIndex(1);
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

void QueryTest::writesForAdministrators_data()
{
    QTest::addColumn<bool>("group"); // the database has the group "administrators"
    QTest::addColumn<bool>("member");
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("written");
    QTest::addColumn<QString>("message"); // begins the message shown
    const QString insert = "INSERT INTO samples VALUES (10, 'new')";
    const QString notRun = "only members of the group \"administrators\" may change the "
                           "database; this statement was not run: ";
    QTest::newRow("no group: anybody writes") << false << false << insert << true << QString();
    QTest::newRow("administrator writes") << true << true << insert << true << QString();
    QTest::newRow("others' writes are not sent")
        << true << false << "SELECT 1; " + insert << false << notRun + insert;
    QTest::newRow("others' table changes are not sent")
        << true << false << "ALTER TABLE samples ADD COLUMN x INT" << false
        << notRun + "ALTER TABLE samples ADD COLUMN x INT";
    QTest::newRow("a write behind a read is refused by the server")
        << true << false << "SELECT tstwrite()" << false
        << "the server refused to write: only members of the group \"administrators\" may "
           "change the database";
    QTest::newRow("others read") << true << false
                                 << "SELECT label FROM samples WHERE id = 1 -- ; DELETE" << false
                                 << QString();
}

// Where the group "administrators" exists, only its members change the database through the
// query editor; the others' statements run in read-only transactions.
void QueryTest::writesForAdministrators()
{
    QFETCH(bool, group);
    QFETCH(bool, member);
    QFETCH(QString, query);
    QFETCH(bool, written);
    QFETCH(QString, message);
    QVERIFY(db.exec("DELETE FROM samples WHERE id = 10"));
    if (group) {
        const int administrators = db.addGroup("administrators");
        if (member)
            db.addMembership(administrators, alice);
    }
    TestHelpers::logIn(alice);
    QueryEditor *editor = openEditor(QString());
    editor->edit(query);
    QVERIFY(runToEnd(editor));
    const QString shown = editor->findChild<QTextEdit *>("messageTextEdit")->toPlainText();
    QVERIFY2(message.isEmpty() ? shown.isEmpty() : shown.startsWith(message), qPrintable(shown));
    QCOMPARE(db.count("samples", "id = 10"), written ? 1 : 0);
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
                       "DATABASE() AND TABLE_NAME = 'samples'")
                 .toInt(),
             2);
    if (!query.startsWith("SELECT label"))
        return;
    QCOMPARE(editor->findChild<QTableView *>("tableView")->model()->index(0, 0).data(),
             QVariant("plain"));
}

// A long statement leaves the window responsive, shows how long it has run, and Cancel stops it
// on the server; the connection serves the next run.
void QueryTest::cancel()
{
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
    ticker.start(20);
    QElapsedTimer clock;
    clock.start();
    QueryEditor *editor = startSleep();
    QVERIFY(editor);
    QTRY_COMPARE(editor->statusBar()->currentMessage(), QString("running... 1 s"));
    auto *cancel = editor->findChild<QAction *>("actionCancel");
    QVERIFY(cancel->isEnabled());
    QTest::mouseClick(editor->findChild<QToolBar *>("toolBar")->widgetForAction(cancel),
                      Qt::LeftButton);
    QVERIFY(ended(editor));
    QVERIFY(clock.elapsed() < 15000);
    QVERIFY2(ticks > 30, qPrintable(QString::number(ticks)));
    QTRY_COMPARE(sleeping(), 0);
    QVERIFY(!cancel->isEnabled());
    const QString message = editor->findChild<QTextEdit *>("messageTextEdit")->toPlainText();
    QVERIFY2(message.startsWith("The statement was cancelled.\n") &&
                 message.contains("interrupted"),
             qPrintable(message));
    QCOMPARE(editor->findChild<QTabWidget *>("tabWidget")->currentIndex(), 1);
    QVERIFY(!resultActionsEnabled(editor));
    QVERIFY(editor->statusBar()->currentMessage().startsWith("cancelled after "));

    editor->edit("SELECT COUNT(*) FROM samples");
    QVERIFY(runToEnd(editor));
    QCOMPARE(editor->findChild<QTableView *>("tableView")->model()->index(0, 0).data().toInt(), 3);
}

// The editor keeps its connection from one run to the next; Ctrl+Return runs the statement and
// types no line break into it.
void QueryTest::sessionLasts()
{
    QueryEditor *editor = openEditor(QString());
    editor->edit("CREATE TEMPORARY TABLE probe AS SELECT 42 AS x");
    QVERIFY(runToEnd(editor));
    editor->edit(QString());
    QVERIFY(QTest::qWaitForWindowActive(editor));
    auto *text = editor->findChild<QTextEdit *>("textEdit");
    text->setFocus();
    QTest::keyClicks(text, "SELECT x FROM probe");
    QTest::keySequence(text, QKeySequence("Ctrl+Return"));
    QVERIFY(ended(editor));
    QCOMPARE(text->toPlainText(), QString("SELECT x FROM probe"));
    QCOMPARE(editor->findChild<QTextEdit *>("messageTextEdit")->toPlainText(), QString());
    QCOMPARE(editor->findChild<QTableView *>("tableView")->model()->index(0, 0).data().toInt(), 42);
}

void QueryTest::closeWhileRunning_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("stop") << "Yes";
    QTest::newRow("keep running") << "No";
}

// Closing asks first; the statement stops with the window, or at the latest with the editor.
void QueryTest::closeWhileRunning()
{
    QFETCH(QString, answer);
    QueryEditor *editor = startSleep();
    QVERIFY(editor);
    ModalAnswer question(ModalAnswer::clickButton(answer));
    editor->close();
    QVERIFY(question.answered());
    QCOMPARE(question.text(),
             QString("A statement is still running. Stop it and close the window?"));
    QCOMPARE(editor->isVisible(), answer == "No");
    if (answer == "Yes") {
        QVERIFY(ended(editor));
    } else {
        QCOMPARE(sleeping(), 1);
        windows.removeOne(editor);
        delete editor;
    }
    QTRY_COMPARE(sleeping(), 0);
}

// The picker's statement runs while the dialog stays usable, and ends with it.
void QueryTest::pickerStopsWithTheDialog()
{
    auto dialog = std::make_unique<SqlQueryDialog>();
    dialog->setQuery("SELECT SLEEP(30) AS pause");
    dialog->show();
    QTRY_COMPARE(sleeping(), 1);
    QTRY_COMPARE(dialog->findChild<QLabel *>("statusLabel")->text(), QString("running... 1 s"));
    QElapsedTimer clock;
    clock.start();
    dialog.reset();
    QVERIFY(clock.elapsed() < 10000);
    QTRY_COMPARE(sleeping(), 0);
}

QTEST_MAIN(QueryTest)
#include "tst_query.moc"
