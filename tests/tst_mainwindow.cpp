#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>

#include "app/mainwindow.h"
#include "editor/extlistviewer.h"
#include "editor/exttableeditor.h"
#include "editor/extxmlmodel.h"
#include "forms/proxytypes.h"
#include "messagecapture.h"
#include "modalanswer.h"
#include "query/queryeditor.h"
#include "query/querylistviewer.h"
#include "testdatabase.h"
#include "testhelpers.h"
#include "testsettings.h"

class MainWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY_CREATE(db);
        db.addUser("alice", "secret");
        QVERIFY_SQL(db,
                    "CREATE TABLE tstsession (id INT PRIMARY KEY, code VARCHAR(16), group_id INT)");
        schemaFile = QDir(ExtListViewer::schemaDirectory()).filePath("tstsession.xml");
        QVERIFY(TestHelpers::writeFile(
            schemaFile,
            "<table><fields><field name=\"code\"><label>Code</label></field></fields></table>"));
    }
    void init()
    {
        settings.clear();
        // A main window closes the default connection when it goes.
        QVERIFY(db.openDefault());
    }
    void cleanupTestCase()
    {
        QFile::remove(schemaFile);
        db.drop();
    }

    void actionsOpenTheirDialogs()
    {
        MainWindow window;
        window.setEnabled(true);
        const QList<std::pair<const char *, QString>> opened = {
            {"actionAdministration", "AdminDialog"},
            {"actionPreferences", "PreferenceDialog"},
            {"actionUpdate", "MAJDialog"},
            {"actionModule", "FormDialog"},
            {"actionAbout_Stavimor", "AboutStavimorDialog"}};
        for (const auto &[action, dialog] : opened) {
            ModalAnswer answer(ModalAnswer::reject());
            window.findChild<QAction *>(action)->trigger();
            QVERIFY(answer.answered());
            QCOMPARE(answer.className(), dialog);
        }
    }
    void startupProxy_data()
    {
        QTest::addColumn<QString>("stored"); // empty: switched off
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("host");
        QTest::newRow("switched off") << "" << int(QNetworkProxy::NoProxy) << "";
        QTest::newRow("socks") << "Socks5 Proxy" << int(QNetworkProxy::Socks5Proxy) << "socks";
        QTest::newRow("unknown type") << "Gopher" << int(QNetworkProxy::DefaultProxy) << "";
    }
    void startupProxy()
    {
        QFETCH(QString, stored);
        QFETCH(int, type);
        QFETCH(QString, host);
        QSettings values;
        values.setValue("proxy/hasProxy", !stored.isEmpty());
        values.setValue("proxy/proxyType", stored);
        values.setValue("proxy/hostName", "socks");
        values.setValue("proxy/port", 1080);
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "stale", 1));
        MainWindow window;
        const QNetworkProxy proxy = QNetworkProxy::applicationProxy();
        // Qt installs a default-type application proxy as a plain "no proxy", host and port
        // dropped; the type asked for is checked where it is chosen.
        QCOMPARE(int(ProxyTypes::fromSettings().type()), type);
        QCOMPARE(proxy.hostName(), host);
        QCOMPARE(int(proxy.port()), host.isEmpty() ? 0 : 1080);
    }
    // The stored style is applied at the start; the window says when it goes.
    void styleAndGoodbye()
    {
        QSettings().setValue("styles/theme", "Fusion");
        MessageCapture capture;
        delete new MainWindow;
        QCOMPARE(qApp->style()->name().toLower(), QString("fusion"));
        QVERIFY(capture.contains("delete all : mainwindow"));
    }
    void administrationForAdministrators_data()
    {
        QTest::addColumn<bool>("group"); // the database has the group "administrators"
        QTest::addColumn<bool>("member");
        QTest::newRow("no group: everybody") << false << false;
        QTest::newRow("member") << true << true;
        QTest::newRow("not a member") << true << false;
    }
    // Where "administrators" exists, only its members get the administration.
    void administrationForAdministrators()
    {
        QFETCH(bool, group);
        QFETCH(bool, member);
        QVERIFY(db.exec("DELETE FROM groups_users"));
        QVERIFY(db.exec("DELETE FROM groups"));
        const int user = db.addUser(QString("user%1%2").arg(group).arg(member), "secret");
        db.addMembership(db.addGroup("Nord"), user);
        if (group) {
            const int administrators = db.addGroup("administrators");
            if (member)
                db.addMembership(administrators, user);
        }
        TestHelpers::logIn(user);
        MainWindow window;
        // What a login does once the user is known.
        window.setEnabled(true);
        QCOMPARE(window.findChild<QAction *>("actionAdministration")->isEnabled(),
                 !group || member);
        TestHelpers::logIn(0);
    }
    void sessionEndAsks_data()
    {
        QTest::addColumn<bool>("quit");
        QTest::addColumn<QString>("answer");
        QTest::newRow("logout, Discard") << false << "Discard";
        QTest::newRow("logout, Save") << false << "Save";
        QTest::newRow("quit, Cancel") << true << "Cancel";
        QTest::newRow("quit, Save") << true << "Save";
    }
    // Ending the session with unsaved rows asks first; a logout leaves no editor behind.
    void sessionEndAsks()
    {
        QFETCH(bool, quit);
        QFETCH(QString, answer);
        QVERIFY_SQL(db, "DELETE FROM tstsession; INSERT INTO tstsession VALUES (1, 'before', 0)");
        db.writeConnectionSettings();
        MainWindow window;
        window.show();
        auto *login = window.findChild<QAction *>("actionLogin");
        ModalAnswer dialog(TestHelpers::typeLogin("alice", "secret"));
        login->trigger();

        for (QAction *entry : window.findChild<ExtListViewer *>()->itemActions())
            if (entry->text() == "tstsession")
                entry->trigger();
        auto *editor = window.findChild<ExtTableEditor *>();
        editor->refresh();
        QVERIFY(editor->model->setData(editor->model->index(0, 3), "after"));
        window.findChild<QueryListViewer *>()->findChild<QToolBar *>()->actions()[0]->trigger();
        QCOMPARE(window.findChildren<QueryEditor *>().size(), 1);
        ModalAnswer box(ModalAnswer::clickButton(answer));
        if (quit)
            QCOMPARE(window.close(), answer != "Cancel");
        else
            login->trigger();
        QVERIFY(box.answered());
        QCOMPARE(box.text(), QString("Unsaved changes in tstsession (1 row)."));
        QCOMPARE(db.scalar("SELECT code FROM tstsession").toString(),
                 QString(answer == "Save" ? "after" : "before"));
        if (!quit)
            QVERIFY(window.findChildren<ExtTableEditor *>().isEmpty() &&
                    window.findChildren<QueryEditor *>().isEmpty());
    }

private:
    QString schemaFile;
    TestSettings settings;
    TestDatabase db;
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
