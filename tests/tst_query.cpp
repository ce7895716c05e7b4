#include <QtTest>
#include <QtWidgets>

#include "modalanswer.h"
#include "query/queryeditor.h"
#include "query/querylistviewer.h"
#include "testdatabase.h"
#include "testhelpers.h"
#include "testsettings.h"

using TestHelpers::trigger;

// The query editor and the saved-query list against the real server.
class QueryTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
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

    void init()
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

    void cleanupTestCase()
    {
        qDeleteAll(windows);
        db.drop();
    }

    void openAndRun_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("status"); // begins the status line
        QTest::newRow("rows") << "SELECT id, label FROM samples" << 3 << "3 row(s) returned in ";
        QTest::newRow("no rows") << "UPDATE samples SET label = label" << 0
                                 << "0 row(s) affected in ";
        QTest::newRow("error") << "SELECT * FROM missing_table" << 0 << "failed after ";
    }

    // Opened with a statement, the editor runs it at once; "run" runs it again.
    void openAndRun()
    {
        QFETCH(QString, query);
        QFETCH(int, rows);
        QFETCH(QString, status);
        QueryEditor *editor = openEditor(query);
        QVERIFY(ended(editor));
        QVERIFY(runToEnd(editor));
        QCOMPARE(editor->findChild<QTableView *>("tableView")->model()->rowCount(), rows);
        const bool failed = status.startsWith("failed");
        QCOMPARE(editor->findChild<QTabWidget *>("tabWidget")->currentIndex(), failed ? 1 : 0);
        QVERIFY2(failed == message(editor).contains("missing_table"), qPrintable(message(editor)));
        const QString shown = editor->statusBar()->currentMessage();
        QVERIFY2(shown.startsWith(status) && shown.endsWith(" s"), qPrintable(shown));
    }

    void save_data()
    {
        QTest::addColumn<int>("groupRow"); // -1: a user in no group
        QTest::addColumn<bool>("cancel");
        QTest::newRow("replaces the name of another group's query") << 1 << false;
        QTest::newRow("cancel") << 0 << true;
        QTest::newRow("user in no group") << -1 << false;
    }

    void save()
    {
        QFETCH(int, groupRow);
        QFETCH(bool, cancel);
        TestHelpers::logIn(groupRow < 0 ? lonely : alice);
        QVERIFY(db.exec(QString("INSERT INTO querys (id, name, query, group_id) VALUES "
                                "(50, 'weekly', 'SELECT 0', %1)")
                            .arg(other)));
        QueryEditor *editor = openEditor("SELECT id FROM samples");
        QVERIFY(ended(editor));
        QVERIFY(runToEnd(editor));
        int offered = -1;
        ModalAnswer answer([&](QWidget *modal) {
            auto *combo = modal->findChild<QComboBox *>("comboBox");
            offered = combo->count();
            combo->setCurrentIndex(groupRow);
            QTest::keyClicks(modal->findChild<QLineEdit *>("lineEdit"), "weekly");
            QTest::mouseClick(
                modal->findChild<QPushButton *>(cancel ? "pushButton_2" : "pushButton"),
                Qt::LeftButton);
        });
        trigger(editor, "actionSave");
        QVERIFY(answer.answered());
        QCOMPARE(offered, groupRow < 0 ? 0 : 2);
        QCOMPARE(db.count("querys"), 1);
        const int group = cancel ? other : groupRow < 0 ? 0 : groupRow == 0 ? nord : sud;
        QCOMPARE(db.count("querys", QString("name = 'weekly' AND query = '%1' AND group_id = %2")
                                        .arg(cancel ? "SELECT 0" : "SELECT id FROM samples")
                                        .arg(group)),
                 1);
    }

    void listToolActions_data()
    {
        QTest::addColumn<QString>("tool"); // "": the entry's own action, as a double-click
        QTest::addColumn<QString>("confirm");
        // clang-format off
        QTest::newRow("entry runs") << "" << "";
        QTest::newRow("rem table, yes") << "rem table" << "Yes";
        QTest::newRow("rem table, no") << "rem table" << "No";
        QTest::newRow("edit table opens") << "edit table" << "";
        // clang-format on
    }

    void listToolActions()
    {
        QFETCH(QString, tool);
        QFETCH(QString, confirm);
        const bool removed = confirm == "Yes";
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
        QVERIFY(db.statements().contains("Select q.* from querys q,groups_users gu WHERE "
                                         "q.group_id = gu.group_id AND gu.user_id=" +
                                         QString::number(alice)));
        QCOMPARE(TestHelpers::listed(list), QStringList({"keep", "target"}));
        auto *rows = list.findChild<QListWidget *>("listWidget");
        rows->setCurrentItem(rows->findItems("target", Qt::MatchExactly).value(0));
        QAction *chosen = nullptr;
        for (QAction *candidate :
             list.findChild<QToolBar *>("toolBar")->actions() + list.itemActions())
            if (candidate->text() == (tool.isEmpty() ? QString("target") : tool))
                chosen = candidate;
        QVERIFY(chosen);
        ModalAnswer answer(ModalAnswer::clickButton(confirm), confirm.isEmpty() ? 200 : 10000);
        chosen->trigger();
        QCOMPARE(answer.answered(), !confirm.isEmpty());

        const QList<QueryEditor *> editors = list.findChildren<QueryEditor *>();
        QCOMPARE(editors.size(), confirm.isEmpty() ? 1 : 0);
        if (!editors.isEmpty()) {
            QCOMPARE(editors.first()->findChild<QTextEdit *>("textEdit")->toPlainText(),
                     QString("SELECT 'target'"));
            // Opened for editing, nothing ran; an entry runs at once.
            QVERIFY(ended(editors.first()));
            QCOMPARE(firstCell(editors.first()), tool.isEmpty() ? QVariant("target") : QVariant());
        }
        QCOMPARE(TestHelpers::listed(list),
                 removed ? QStringList{"keep"} : QStringList({"keep", "target"}));
        QCOMPARE(db.count("querys"), removed ? 2 : 3);
    }

    void exports()
    {
        QTemporaryDir dir;
        QueryEditor *editor = openEditor("SELECT id, label FROM samples ORDER BY id");
        QVERIFY(ended(editor));
        QVERIFY(runToEnd(editor));
        ModalAnswer answer(ModalAnswer::chooseFile(dir.filePath("result.csv")));
        trigger(editor, "actionCsv");
        QVERIFY(answer.answered());
        QFile csv(dir.filePath("result.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll(),
                 QByteArray("id,label\n1,plain\n2,\"a, b\"\n3,\"say \"\"hi\"\"\"\n"));
    }

    void writesForAdministrators_data()
    {
        QTest::addColumn<int>("role"); // 0: no group "administrators", 1: alice in it, 2: not in it
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("message"); // begins the message shown
        const QString insert = "INSERT INTO samples VALUES (10, 'new')";
        const QString alter = "ALTER TABLE samples ADD COLUMN x INT";
        const QString notRun = "only members of the group \"administrators\" may change the "
                               "database; this statement was not run: ";
        QTest::newRow("no group: anybody writes") << 0 << insert << QString();
        QTest::newRow("administrator writes") << 1 << insert << QString();
        QTest::newRow("others' writes are not sent")
            << 2 << "SELECT 1; " + insert << notRun + insert;
        QTest::newRow("others' table changes are not sent") << 2 << alter << notRun + alter;
        QTest::newRow("a write behind a read is refused by the server")
            << 2 << "SELECT tstwrite()"
            << "the server refused to write: only members of the group \"administrators\" may "
               "change the database";
        QTest::newRow("others read")
            << 2 << "SELECT label FROM samples WHERE id = 1 -- ; DELETE" << QString();
    }

    // Where the group "administrators" exists, only its members change the database through the
    // query editor; the others' statements run in read-only transactions.
    void writesForAdministrators()
    {
        QFETCH(int, role);
        QFETCH(QString, query);
        QFETCH(QString, message);
        QVERIFY(db.exec("DELETE FROM samples WHERE id = 10"));
        if (role > 0) {
            const int administrators = db.addGroup("administrators");
            if (role == 1)
                db.addMembership(administrators, alice);
        }
        TestHelpers::logIn(alice);
        QueryEditor *editor = openEditor(QString());
        editor->edit(query);
        QVERIFY(runToEnd(editor));
        const QString shown = QueryTest::message(editor);
        QVERIFY2(message.isEmpty() ? shown.isEmpty() : shown.startsWith(message),
                 qPrintable(shown));
        QCOMPARE(db.count("samples", "id = 10"), role < 2 ? 1 : 0);
        QCOMPARE(db.count("information_schema.COLUMNS",
                          "TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'samples'"),
                 2);
        if (query.startsWith("SELECT label"))
            QCOMPARE(firstCell(editor), QVariant("plain"));
    }

    // A long statement leaves the window responsive, shows how long it has run, and Cancel or
    // closing the window stops it on the server.
    void cancel()
    {
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&ticks] { ++ticks; });
        ticker.start(20);
        QueryEditor *editor = startSleep();
        QVERIFY(editor);
        QTRY_COMPARE(editor->statusBar()->currentMessage(), QString("running... 1 s"));
        QTest::mouseClick(editor->findChild<QToolBar *>("toolBar")->widgetForAction(
                              editor->findChild<QAction *>("actionCancel")),
                          Qt::LeftButton);
        QVERIFY(ended(editor));
        QVERIFY2(ticks > 30, qPrintable(QString::number(ticks)));
        QTRY_COMPARE(sleeping(), 0);
        QVERIFY2(message(editor).startsWith("The statement was cancelled.\n") &&
                     message(editor).contains("interrupted"),
                 qPrintable(message(editor)));
        QVERIFY(editor->statusBar()->currentMessage().startsWith("cancelled after "));

        // Closing asks first; the statement stops with the window.
        editor = startSleep();
        QVERIFY(editor);
        ModalAnswer question(ModalAnswer::clickButton("Yes"));
        editor->close();
        QCOMPARE(question.text(),
                 QString("A statement is still running. Stop it and close the window?"));
        QVERIFY(!editor->isVisible());
        QTRY_COMPARE(sleeping(), 0);
    }

    // The editor keeps its connection from one run to the next.
    void sessionLasts()
    {
        QueryEditor *editor = openEditor(QString());
        editor->edit("CREATE TEMPORARY TABLE probe AS SELECT 42 AS x");
        QVERIFY(runToEnd(editor));
        editor->edit("SELECT x FROM probe");
        QVERIFY(runToEnd(editor));
        QCOMPARE(firstCell(editor).toInt(), 42);
    }

private:
    QueryEditor *openEditor(const QString &query)
    {
        auto *editor = new QueryEditor(query);
        windows << editor;
        editor->show();
        return editor;
    }

    // Waits for the end of the editor's statement.
    static bool ended(QueryEditor *editor)
    {
        auto *run = editor->findChild<QAction *>("actionRun");
        return QTest::qWaitFor([run] { return run->isEnabled(); }, 20000);
    }

    static bool runToEnd(QueryEditor *editor)
    {
        trigger(editor, "actionRun");
        return ended(editor);
    }
    // An editor whose long statement has been seen running on the server.
    QueryEditor *startSleep()
    {
        QueryEditor *editor = openEditor(QString());
        editor->edit("SELECT SLEEP(30)");
        trigger(editor, "actionRun");
        return QTest::qWaitFor([this] { return sleeping() > 0; }, 10000) ? editor : nullptr;
    }

    int sleeping() const
    {
        return db.count("information_schema.PROCESSLIST",
                        "INFO LIKE 'SELECT SLEEP%' AND DB = DATABASE()");
    }

    static QString message(QueryEditor *editor)
    {
        return editor->findChild<QTextEdit *>("messageTextEdit")->toPlainText();
    }
    static QVariant firstCell(QueryEditor *editor)
    {
        return editor->findChild<QTableView *>("tableView")->model()->index(0, 0).data();
    }

    TestSettings settings;
    TestDatabase db;
    int alice = 0, lonely = 0, nord = 0, sud = 0, other = 0;
    QList<QWidget *> windows;
};

QTEST_MAIN(QueryTest)
#include "tst_query.moc"
