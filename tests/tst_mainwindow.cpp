#include <QMenu>
#include <QNetworkProxy>
#include <QSettings>
#include <QStyle>
#include <QtTest>

#include "app/mainwindow.h"
#include "forms/proxytypes.h"
#include "messagecapture.h"
#include "modalanswer.h"
#include "testdatabase.h"
#include "testhelpers.h"
#include "testsettings.h"

// The main window as it starts: logged-out state, the dialogs its actions open, proxy and style
// taken from the stored settings.
class MainWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY_CREATE(db); }
    void init()
    {
        settings.clear();
        // A main window closes the default connection when it goes.
        QVERIFY(db.openDefault());
    }
    void cleanupTestCase() { db.drop(); }

    void startsLoggedOut();
    void actionsOpenTheirDialogs_data();
    void actionsOpenTheirDialogs();
    void startupProxy_data();
    void startupProxy();
    void storedStyleIsApplied();
    void destructionSaysGoodbye();
    void administrationForAdministrators_data();
    void administrationForAdministrators();

private:
    TestSettings settings;
    TestDatabase db;
};

void MainWindowTest::startsLoggedOut()
{
    MainWindow window;
    for (const char *name : {"menuEdit", "menuModules", "menuAccount"})
        QVERIFY2(!window.findChild<QMenu *>(name)->isEnabled(), name);
    for (const char *name : {"actionTableEditor", "actionQueryEditor", "actionReportEditor",
                             "actionChartEditor", "actionAdministration"})
        QVERIFY2(!window.findChild<QAction *>(name)->isEnabled(), name);
    for (const char *name : {"actionPreferences", "actionUpdate", "actionQuit", "actionLogin"})
        QVERIFY2(window.findChild<QAction *>(name)->isEnabled(), name);
    QVERIFY(!window.findChild<QAction *>("actionLogin")->isChecked());
}

void MainWindowTest::actionsOpenTheirDialogs_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("dialog");
    QTest::newRow("administration") << "actionAdministration"
                                    << "AdminDialog";
    QTest::newRow("preferences") << "actionPreferences"
                                 << "PreferenceDialog";
    QTest::newRow("update") << "actionUpdate"
                            << "MAJDialog";
    QTest::newRow("module page") << "actionModule"
                                 << "FormDialog";
    QTest::newRow("about") << "actionAbout_Stavimor"
                           << "AboutStavimorDialog";
}

void MainWindowTest::actionsOpenTheirDialogs()
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

void MainWindowTest::startupProxy_data()
{
    QTest::addColumn<QVariantMap>("stored");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    const QVariantMap off{{"hasProxy", false}, {"hostName", "proxy"}, {"port", 3128}};
    const QVariantMap socks{{"hasProxy", true},
                            {"proxyType", "Socks5 Proxy"},
                            {"hostName", "socks.example"},
                            {"port", 1080}};
    const QVariantMap wide{
        {"hasProxy", true}, {"proxyType", "Http Proxy"}, {"hostName", "web"}, {"port", 70000}};
    const QVariantMap unknown{
        {"hasProxy", true}, {"proxyType", "Gopher"}, {"hostName", "h"}, {"port", 1}};
    // clang-format off
    QTest::newRow("switched off") << off << int(QNetworkProxy::NoProxy) << "" << 0;
    QTest::newRow("socks") << socks << int(QNetworkProxy::Socks5Proxy) << "socks.example" << 1080;
    // 70000 cut to 16 bits
    QTest::newRow("port above 16 bits") << wide << int(QNetworkProxy::HttpProxy) << "web" << 4464;
    QTest::newRow("unknown type") << unknown << int(QNetworkProxy::DefaultProxy) << "" << 0;
    // clang-format on
}

void MainWindowTest::startupProxy()
{
    QFETCH(QVariantMap, stored);
    QFETCH(int, type);
    QFETCH(QString, host);
    QFETCH(int, port);
    {
        QSettings store;
        store.beginGroup("proxy");
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            store.setValue(it.key(), it.value());
    }
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "stale", 1));
    MainWindow window;
    const QNetworkProxy proxy = QNetworkProxy::applicationProxy();
    // Qt installs a default-type application proxy as a plain "no proxy", host and port
    // dropped; the type asked for is checked where it is chosen.
    QCOMPARE(int(ProxyTypes::fromSettings().type()), type);
    QCOMPARE(proxy.hostName(), host);
    QCOMPARE(int(proxy.port()), port);
}

void MainWindowTest::storedStyleIsApplied()
{
    QSettings().setValue("styles/theme", "Fusion");
    MainWindow window;
    QCOMPARE(qApp->style()->name().toLower(), QString("fusion"));
}

void MainWindowTest::destructionSaysGoodbye()
{
    MessageCapture capture;
    delete new MainWindow;
    QVERIFY(capture.contains("delete all : mainwindow"));
}

void MainWindowTest::administrationForAdministrators_data()
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
void MainWindowTest::administrationForAdministrators()
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

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
