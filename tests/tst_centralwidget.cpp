#include <QtTest>
#include <QtWidgets>

#include "app/mainwindow.h"
#include "modalanswer.h"
#include "navigation/centralwidget.h"
#include "query/queryeditor.h"
#include "query/querylistviewer.h"
#include "testdatabase.h"
#include "testhelpers.h"
#include "testsettings.h"

class CentralWidgetTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY_CREATE(db);
        const int alice = db.addUser("alice", "secret");
        const int bob = db.addUser("bob", "secret");
        const int nord = db.addGroup("Nord");
        db.addMembership(nord, alice);
        QVERIFY(db.exec(
            QString("INSERT INTO contacts (id, user_id, contact_user_id) VALUES (1, %1, %2)")
                .arg(alice)
                .arg(bob)));
        QVERIFY(db.exec(QString("INSERT INTO querys (id, name, query, group_id) VALUES "
                                "(1, 'first', 'SELECT 1 AS one', %1), "
                                "(2, 'second', 'SELECT 2 AS two', %1)")
                            .arg(nord)));
        TestHelpers::logIn(alice);
    }
    void cleanupTestCase() { db.drop(); }

    // The tree mirrors the pages from login to logout, with the saved queries of the user's groups:
    // a query saved or removed on the page is at once there too.
    void sessionFillsTheTree()
    {
        db.writeConnectionSettings();
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *tree = window.findChild<QTreeWidget *>("treeWidget");
        auto *stack = window.findChild<QStackedWidget *>("stackedWidget");
        auto *contacts = window.findChild<QListView *>("listView");
        ModalAnswer login(TestHelpers::typeLogin("alice", "secret"));
        window.findChild<QAction *>("actionLogin")->trigger();
        QCOMPARE(tree->topLevelItemCount(), 1);
        QTreeWidgetItem *root = tree->topLevelItem(0);
        QCOMPARE(root->text(0), QString("database(QMYSQL)"));
        QCOMPARE(root->childCount(), stack->count());
        QStringList names = entries(queryPage(tree));
        names.sort();
        QCOMPARE(names, QStringList({"first", "second"}));
        QCOMPARE(contacts->model()->index(0, 0).data().toString(), QString("bob"));

        auto *page = window.findChild<QueryListViewer *>();
        // The names sort as they were saved.
        auto listed = [page] { return TestHelpers::listed(*page); };
        auto pageAction = [page](const QString &text) {
            for (QAction *action : page->findChildren<QAction *>())
                if (action->text() == text)
                    action->trigger();
        };
        pageAction("add table");
        QueryEditor *editor = page->findChild<QueryEditor *>();
        QTest::keyClicks(editor->findChild<QTextEdit *>("textEdit"), "SELECT 3 AS three");
        editor->findChild<QAction *>("actionRun")->trigger();
        // Saving is offered once the statement has run.
        QTRY_VERIFY(editor->findChild<QAction *>("actionSave")->isEnabled());
        ModalAnswer save([](QWidget *dialog) {
            QTest::keyClicks(dialog->findChild<QLineEdit *>("lineEdit"), "third");
            QTest::mouseClick(dialog->findChild<QPushButton *>("pushButton"), Qt::LeftButton);
        });
        editor->findChild<QAction *>("actionSave")->trigger();
        QVERIFY(save.answered());
        QVERIFY(listed().contains("third"));
        QCOMPARE(entries(queryPage(tree)), listed());
        delete editor;
        // A double-click shows a page, or opens an entry.
        stack->setCurrentIndex(stack->indexOf(page) == 0 ? 1 : 0);
        doubleClick(tree, queryPage(tree));
        QCOMPARE(stack->currentWidget(), static_cast<QWidget *>(page));
        doubleClick(tree, queryPage(tree)->child(listed().indexOf("third")));
        editor = page->findChild<QueryEditor *>();
        QVERIFY(editor);
        QCOMPARE(editor->findChild<QTextEdit *>("textEdit")->toPlainText(),
                 QString("SELECT 3 AS three"));
        delete editor;
        page->findChild<QListWidget *>()->setCurrentRow(listed().indexOf("third"));
        ModalAnswer remove(ModalAnswer::clickButton("Yes"));
        pageAction("rem table");
        QVERIFY(remove.answered());
        QVERIFY(!listed().contains("third"));
        QCOMPARE(entries(queryPage(tree)), listed());

        window.findChild<QAction *>("actionLogin")->trigger();
        QCOMPARE(tree->topLevelItemCount() + contacts->model()->rowCount(), 0);
    }

private:
    static void doubleClick(QTreeWidget *tree, QTreeWidgetItem *item);
    static QTreeWidgetItem *queryPage(QTreeWidget *tree);
    static QStringList entries(QTreeWidgetItem *page);

    TestSettings settings;
    TestDatabase db;
};

void CentralWidgetTest::doubleClick(QTreeWidget *tree, QTreeWidgetItem *item)
{
    tree->scrollToItem(item);
    const QPoint where = tree->visualItemRect(item).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, where);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, where);
}

QTreeWidgetItem *CentralWidgetTest::queryPage(QTreeWidget *tree)
{
    QTreeWidgetItem *root = tree->topLevelItem(0);
    for (int i = 0; root && i < root->childCount(); ++i)
        if (root->child(i)->text(0) == "query")
            return root->child(i);
    return nullptr;
}

QStringList CentralWidgetTest::entries(QTreeWidgetItem *page)
{
    QStringList texts;
    for (int i = 0; page && i < page->childCount(); ++i)
        texts << page->child(i)->text(0);
    return texts;
}

QTEST_MAIN(CentralWidgetTest)
#include "tst_centralwidget.moc"
