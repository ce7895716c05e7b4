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

// The navigation area's tree of pages and entries, on its own and inside the main window.
class CentralWidgetTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY_CREATE(db);
        alice = db.addUser("alice", "secret");
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

    void doubleClicks()
    {
        CentralWidget area;
        area.resize(600, 400);
        area.show();
        QVERIFY(QTest::qWaitForWindowExposed(&area));
        area.loadAll();
        auto *tree = area.findChild<QTreeWidget *>("treeWidget");
        auto *stack = area.findChild<QStackedWidget *>("stackedWidget");
        auto *page = area.findChild<QueryListViewer *>();
        QVERIFY(page);
        const int pageIndex = stack->indexOf(page);
        stack->setCurrentIndex(pageIndex == 0 ? qMin(1, stack->count() - 1) : 0);

        doubleClick(tree, tree->topLevelItem(0));
        QVERIFY(page->findChildren<QueryEditor *>().isEmpty());

        QTreeWidgetItem *queries = queryPage(tree);
        queries->setExpanded(true);
        doubleClick(tree, queries);
        QCOMPARE(stack->currentIndex(), pageIndex);

        const int second = entries(queries).indexOf("second");
        QVERIFY(second >= 0);
        doubleClick(tree, queries->child(second));
        const QList<QueryEditor *> editors = page->findChildren<QueryEditor *>();
        QCOMPARE(editors.size(), 1);
        QCOMPARE(editors.first()->findChild<QTextEdit *>("textEdit")->toPlainText(),
                 QString("SELECT 2 AS two"));
        QCOMPARE(stack->currentIndex(), pageIndex);
    }
    // The tree mirrors the stacked pages: filled at the login, with the saved queries of the user's
    // groups under their page, emptied at the logout, as the contacts are. A query saved from an
    // editor of the query page is at once in the page's list and under the page in the tree, where
    // it opens; removed on the page, it leaves both.
    void sessionFillsTheTree()
    {
        db.writeConnectionSettings();
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *tree = window.findChild<QTreeWidget *>("treeWidget");
        auto *stack = window.findChild<QStackedWidget *>("stackedWidget");
        auto *contacts = window.findChild<QListView *>("listView");
        QCOMPARE(tree->topLevelItemCount(), 0);
        QVERIFY(!stack->isEnabled());
        ModalAnswer login(TestHelpers::typeLogin("alice", "secret"));
        window.findChild<QAction *>("actionLogin")->trigger();
        QVERIFY(login.answered());
        QVERIFY(stack->isEnabled());
        QCOMPARE(tree->topLevelItemCount(), 1);
        QTreeWidgetItem *root = tree->topLevelItem(0);
        QCOMPARE(root->text(0), QString("database(QMYSQL)"));
        QCOMPARE(root->childCount(), stack->count());
        for (int i = 0; i < root->childCount(); ++i)
            QCOMPARE(root->child(i)->text(0), stack->widget(i)->windowTitle());
        QStringList names = entries(queryPage(tree));
        names.sort();
        QCOMPARE(names, QStringList({"first", "second"}));
        QCOMPARE(contacts->model()->rowCount(), 1);
        QCOMPARE(contacts->model()->index(0, 0).data().toString(), QString("bob"));

        auto *page = window.findChild<QueryListViewer *>();
        auto listed = [page] {
            QStringList texts;
            for (QAction *action : page->itemActions())
                texts << action->text();
            return texts;
        };
        auto pageAction = [page](const QString &text) {
            for (QAction *action : page->findChildren<QAction *>())
                if (action->text() == text)
                    action->trigger();
        };
        pageAction("add table");
        QueryEditor *editor = page->findChild<QueryEditor *>();
        QVERIFY(editor);
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
        QCOMPARE(tree->topLevelItemCount(), 0);
        QVERIFY(!stack->isEnabled());
        QCOMPARE(contacts->model()->rowCount(), 0);
    }

private:
    static void doubleClick(QTreeWidget *tree, QTreeWidgetItem *item);
    static QTreeWidgetItem *queryPage(QTreeWidget *tree);
    static QStringList entries(QTreeWidgetItem *page);

    TestSettings settings;
    TestDatabase db;
    int alice = 0;
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
