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

// The main window as it starts: logged-out state, the dialogs its actions open, proxy and style
// taken from the stored settings.
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

    // Only the session tools wait for a login.
    void startsLoggedOut()
    {
        MainWindow window;
        const QStringList off{"menuEdit",          "menuModules",         "menuAccount",
                              "actionTableEditor", "actionQueryEditor",   "actionReportEditor",
                              "actionChartEditor", "actionAdministration"};
        for (const QString &name :
             off + QStringList{"actionPreferences", "actionUpdate", "actionQuit", "actionLogin"})
            QVERIFY2(window.findChild<QObject *>(name)->property("enabled").toBool() !=
                         off.contains(name),
                     qPrintable(name));
        QVERIFY(!window.findChild<QAction *>("actionLogin")->isChecked());
    }
    void actionsOpenTheirDialogs_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("dialog");
        QTest::newRow("administration") << "actionAdministration" << QString("AdminDialog");
        QTest::newRow("preferences") << "actionPreferences" << QString("PreferenceDialog");
        QTest::newRow("update") << "actionUpdate" << QString("MAJDialog");
        QTest::newRow("module page") << "actionModule" << QString("FormDialog");
        QTest::newRow("about") << "actionAbout_Stavimor" << QString("AboutStavimorDialog");
    }
    void actionsOpenTheirDialogs()
    {
        QFETCH(QString, action);
        QFETCH(QString, dialog);
        MainWindow window;
        window.setEnabled(true);
        ModalAnswer answer(ModalAnswer::reject());
        window.findChild<QAction *>(action)->trigger();
        QVERIFY(answer.answered());
        QCOMPARE(answer.className(), dialog);
    }
    void startupProxy_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        const auto proxy = [](const char *type, const char *host, int port) {
            return QVariantMap{
                {"hasProxy", *type != 0}, {"proxyType", type}, {"hostName", host}, {"port", port}};
        };
        QTest::newRow("switched off")
            << proxy("", "proxy", 3128) << int(QNetworkProxy::NoProxy) << "" << 0;
        QTest::newRow("socks") << proxy("Socks5 Proxy", "socks.example", 1080)
                               << int(QNetworkProxy::Socks5Proxy) << "socks.example" << 1080;
        // 70000 cut to 16 bits
        QTest::newRow("port above 16 bits")
            << proxy("Http Proxy", "web", 70000) << int(QNetworkProxy::HttpProxy) << "web" << 4464;
        QTest::newRow("unknown type")
            << proxy("Gopher", "h", 1) << int(QNetworkProxy::DefaultProxy) << "" << 0;
    }
    void startupProxy()
    {
        QFETCH(QVariantMap, stored);
        QFETCH(int, type);
        QFETCH(QString, host);
        QFETCH(int, port);
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            QSettings().setValue("proxy/" + it.key(), it.value());
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "stale", 1));
        MainWindow window;
        const QNetworkProxy proxy = QNetworkProxy::applicationProxy();
        // Qt installs a default-type application proxy as a plain "no proxy", host and port
        // dropped; the type asked for is checked where it is chosen.
        QCOMPARE(int(ProxyTypes::fromSettings().type()), type);
        QCOMPARE(proxy.hostName(), host);
        QCOMPARE(int(proxy.port()), port);
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
        QTest::addColumn<bool>("enabled");
        QTest::newRow("no group: everybody") << false << false << true;
        QTest::newRow("member") << true << true << true;
        QTest::newRow("not a member") << true << false << false;
    }
    // The administration is offered to the members of "administrators" only, where that group
    // exists; the other tools to every logged-in user.
    void administrationForAdministrators()
    {
        QFETCH(bool, group);
        QFETCH(bool, member);
        QFETCH(bool, enabled);
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
        QCOMPARE(window.findChild<QAction *>("actionAdministration")->isEnabled(), enabled);
        QVERIFY(window.findChild<QAction *>("actionQueryEditor")->isEnabled());
        TestHelpers::logIn(0);
    }
    void sessionEndAsks_data()
    {
        QTest::addColumn<bool>("quit");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("goesOn");
        QTest::addColumn<QString>("stored");
        QTest::newRow("logout, Cancel") << false << "Cancel" << false << "before";
        QTest::newRow("logout, Discard") << false << "Discard" << true << "before";
        QTest::newRow("logout, Save") << false << "Save" << true << "after";
        QTest::newRow("quit, Cancel") << true << "Cancel" << false << "before";
        QTest::newRow("quit, Save") << true << "Save" << true << "after";
    }
    // Logging out or quitting with unsaved rows in a table editor asks first; a logout that goes on
    // leaves no table or query editor of the session behind.
    void sessionEndAsks()
    {
        QFETCH(bool, quit);
        QFETCH(QString, answer);
        QFETCH(bool, goesOn);
        QFETCH(QString, stored);
        QVERIFY_SQL(db, "DELETE FROM tstsession; INSERT INTO tstsession VALUES (1, 'before', 0)");
        db.writeConnectionSettings();
        MainWindow window;
        window.show();
        auto *login = window.findChild<QAction *>("actionLogin");
        ModalAnswer dialog(TestHelpers::typeLogin("alice", "secret"));
        login->trigger();
        QVERIFY(dialog.answered());

        for (QAction *entry : window.findChild<ExtListViewer *>()->itemActions())
            if (entry->text() == "tstsession")
                entry->trigger();
        auto *editor = window.findChild<ExtTableEditor *>();
        QVERIFY(editor);
        editor->refresh();
        QVERIFY(editor->model->setData(editor->model->index(0, 3), "after"));
        window.findChild<QueryListViewer *>()
            ->findChild<QToolBar *>()
            ->actions()
            .value(0)
            ->trigger();
        QCOMPARE(window.findChildren<QueryEditor *>().size(), 1);

        ModalAnswer box(ModalAnswer::clickButton(answer));
        if (quit)
            QCOMPARE(window.close(), goesOn);
        else
            login->trigger();
        QVERIFY(box.answered());
        QCOMPARE(box.text(), QString("Unsaved changes in tstsession (1 row)."));
        QCOMPARE(db.scalar("SELECT code FROM tstsession").toString(), stored);
        if (quit)
            return;
        QCOMPARE(login->isChecked(), !goesOn);
        QCOMPARE(window.findChild<QAction *>("actionTableEditor")->isEnabled(), !goesOn);
        const int windowsLeft = window.findChildren<ExtTableEditor *>().size() +
                                window.findChildren<QueryEditor *>().size();
        QCOMPARE(windowsLeft, goesOn ? 0 : 2);
    }

private:
    QString schemaFile;
    TestSettings settings;
    TestDatabase db;
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
