#include <QDockWidget>
#include <QMenu>
#include <QMenuBar>
#include <QNetworkProxy>
#include <QSettings>
#include <QStyle>
#include <QToolBar>
#include <QtTest>

#include "app/mainwindow.h"
#include "forms/proxytypes.h"
#include "messagecapture.h"
#include "testsettings.h"

// The main window as it starts: logged-out state, menus and tool bar, proxy and style taken
// from the stored settings.
class MainWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void startsLoggedOut();
    void menusAndToolBar();
    void startupProxy_data();
    void startupProxy();
    void storedStyleIsApplied();
    void dockFollowsItsAction();
    void destructionSaysGoodbye();

private:
    static QStringList names(const QList<QAction *> &actions);
    TestSettings settings;
};

QStringList MainWindowTest::names(const QList<QAction *> &actions)
{
    QStringList result;
    for (QAction *action : actions) {
        if (action->isSeparator())
            result << "-";
        else if (action->menu())
            result << action->menu()->objectName();
        else
            result << action->objectName();
    }
    return result;
}

void MainWindowTest::init()
{
    settings.clear();
}

void MainWindowTest::startsLoggedOut()
{
    MainWindow window;
    QCOMPARE(window.windowTitle(), QString("MainWindow"));
    QCOMPARE(window.size(), QSize(631, 470));
    for (const char *name : {"menuEdit", "menuModules", "menuAccount"})
        QVERIFY2(!window.findChild<QMenu *>(name)->isEnabled(), name);
    for (const char *name : {"actionTableEditor", "actionQueryEditor", "actionReportEditor",
                             "actionChartEditor", "actionAdministration"})
        QVERIFY2(!window.findChild<QAction *>(name)->isEnabled(), name);
    for (const char *name : {"actionPreferences", "actionUpdate", "actionQuit", "actionLogin"})
        QVERIFY2(window.findChild<QAction *>(name)->isEnabled(), name);
    QVERIFY(window.findChild<QMenu *>("menuHelp")->isEnabled());
    QVERIFY(!window.findChild<QAction *>("actionLogin")->isChecked());

    auto *dock = window.findChild<QDockWidget *>();
    QVERIFY(dock);
    QVERIFY(!dock->isEnabled());
    QVERIFY(dock->isHidden());
    QCOMPARE(dock->features(), QDockWidget::DockWidgetMovable);
}

// Menus, their entries and the tool bar, in order, by object name.
void MainWindowTest::menusAndToolBar()
{
    MainWindow window;
    QStringList menus;
    for (QAction *action : window.menuBar()->actions())
        menus << action->menu()->title() + ": " + names(action->menu()->actions()).join(' ');
    QCOMPARE(menus,
             (QStringList{"File: actionLogin - actionPreferences actionAdministration actionUpdate "
                          "- actionQuit",
                          "Edit: actionCut actionCopy actionPast",
                          "Account: actionShowUserView - actionEdit_profil actionAdd_contact",
                          "Modules: -", "Help: actionAbout_Qt actionAbout_Stavimor",
                          "test: actionTest"}));
    auto *toolBar = window.findChild<QToolBar *>("mainToolBar");
    QCOMPARE(names(toolBar->actions()).join(' '),
             QString("actionLogin - actionTableEditor actionQueryEditor actionReportEditor "
                     "actionChartEditor"));
    QCOMPARE(toolBar->iconSize(), QSize(32, 32));
    QCOMPARE(toolBar->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    QVERIFY(window.findChild<QAction *>("actionLogin")->isCheckable());
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
    QTest::newRow("nothing stored") << QVariantMap() << int(QNetworkProxy::NoProxy) << "" << 0;
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
        store.setValue("username", "proxyuser");
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

void MainWindowTest::dockFollowsItsAction()
{
    MainWindow window;
    window.show();
    auto *dock = window.findChild<QDockWidget *>();
    auto *action = window.findChild<QAction *>("actionShowUserView");
    QVERIFY(action->isChecked());
    QVERIFY(!dock->isVisible());
    action->trigger();
    QVERIFY(!action->isChecked());
    QVERIFY(!dock->isVisible());
    action->trigger();
    QVERIFY(action->isChecked());
    QVERIFY(dock->isVisible());
}

void MainWindowTest::destructionSaysGoodbye()
{
    MessageCapture capture;
    delete new MainWindow;
    QVERIFY(capture.contains("delete all : mainwindow"));
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
