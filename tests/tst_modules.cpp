#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest>

#include "app/mainwindow.h"
#include "forms/formdialog.h"
#include "loopbackhttpserver.h"
#include "messagecapture.h"
#include "modalanswer.h"
#include "modules/getmoduledialog.h"
#include "modules/moduleinterface.h"
#include "modules/moduleloader.h"
#include "modules/modulesettingswidget.h"
#include "testdatabase.h"
#include "testsettings.h"

// Plug-in modules: the sample plug-in, built by the project, loaded from disk by the main
// window and the module page; the catalogue served by a loopback HTTP server. The only test
// that writes into the modules folder beside the test executables.
class ModulesTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void pluginIsBuiltBesideTheApplication();
    void noModules_data();
    void noModules();
    void loadsModuleAndSkipsOtherFiles();
    void moduleGetsTheOpenConnection();
    void startingTwiceShowsOneWindow();
    void startingFromTheModulesMenu();
    void builtInToolBarActionsDoNothing();
    void secondLoadingReplacesTheFirst();
    void sameNameKeepsTheLaterModule();
    void disabledModulesAreSkipped();
    void loginLoadsModules();
    void moduleActionOpensTheModulePage();

    void pageListsModules();
    void pageShowsVersions_data();
    void pageShowsVersions();
    void pageStoresDisabledModules();

    void catalogue_data();
    void catalogue();
    void downloadWithoutSelectionDoesNothing();
    void downloadInstalls_data();
    void downloadInstalls();
    void cancelClosesTheCatalogue();
    void newModulesReloadsThePage();

private:
    void installSample(const QString &name = "libstavimor_samplemodule.so");
    void writeJunk(const QString &name);
    void setCatalogueUrl(const QString &url);
    static QStringList texts(const QList<QAction *> &actions);
    static ModuleInterface *moduleOf(MainWindow &window);
    static QTreeWidget *catalogueTree(GetModuleDialog &dialog);
    // The module windows that exist: they are top-level windows of their own.
    static QList<QMdiSubWindow *> subWindows();

    TestSettings settings;
    TestDatabase db;
    LoopbackHttpServer server;
    QTemporaryDir workDir;
    QString savedCurrent;
    QDir modulesDir;
};

void ModulesTest::initTestCase()
{
    QString error;
    QVERIFY2(db.create(&error), qPrintable(error));
    QVERIFY(db.addUser("alice", "secret") > 0);
    QVERIFY(server.listen());
    QVERIFY(workDir.isValid());
    savedCurrent = QDir::currentPath();
    modulesDir = ModuleLoader::directory();
    QCOMPARE(modulesDir.absolutePath(), QCoreApplication::applicationDirPath() + "/modules");
}

void ModulesTest::init()
{
    settings.clear();
    db.writeConnectionSettings();
    QVERIFY(db.openDefault());
    modulesDir.removeRecursively();
    QVERIFY(QDir().mkpath(modulesDir.absolutePath()));
    QDir::setCurrent(workDir.path());
    server.clearRequests();
}

void ModulesTest::cleanup()
{
    QDir::setCurrent(savedCurrent);
}

void ModulesTest::cleanupTestCase()
{
    modulesDir.removeRecursively();
    db.drop();
}

void ModulesTest::installSample(const QString &name)
{
    QVERIFY(QFile::copy(STAVIMOR_SAMPLE_MODULE, modulesDir.absoluteFilePath(name)));
}

void ModulesTest::writeJunk(const QString &name)
{
    QFile junk(modulesDir.absoluteFilePath(name));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("this is not a shared library\n");
}

void ModulesTest::setCatalogueUrl(const QString &url)
{
    QVERIFY(db.exec("DELETE FROM infos"));
    QVERIFY(db.exec("INSERT INTO infos (module_update_url, app_update_url, version) VALUES ('" +
                    url + "', '', 'beta 0.5.2')"));
}

QStringList ModulesTest::texts(const QList<QAction *> &actions)
{
    QStringList result;
    for (QAction *action : actions)
        result << (action->isSeparator() ? QString("-") : action->text());
    return result;
}

ModuleInterface *ModulesTest::moduleOf(MainWindow &window)
{
    const auto actions = window.findChild<QToolBar *>("mainToolBar")->actions();
    for (QAction *action : actions) {
        if (auto *module = qobject_cast<ModuleInterface *>(action->parent()))
            return module;
    }
    return nullptr;
}

QTreeWidget *ModulesTest::catalogueTree(GetModuleDialog &dialog)
{
    return dialog.findChild<QTreeWidget *>("treeWidget");
}

QList<QMdiSubWindow *> ModulesTest::subWindows()
{
    QList<QMdiSubWindow *> found;
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *widget : windows) {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(widget))
            found << sub;
    }
    return found;
}

static const QStringList builtInToolBar{"login",        "-",          "tableEditor", "queryEditor",
                                        "reportEditor", "ChartEditor"};

void ModulesTest::pluginIsBuiltBesideTheApplication()
{
    const QFileInfo plugin(STAVIMOR_SAMPLE_MODULE);
    QVERIFY(plugin.exists());
    QCOMPARE(plugin.absolutePath(), QDir(STAVIMOR_APP_DIR).absoluteFilePath("modules"));
}

void ModulesTest::noModules_data()
{
    QTest::addColumn<bool>("folderExists");
    QTest::newRow("empty folder") << true;
    QTest::newRow("no folder") << false;
}

void ModulesTest::noModules()
{
    QFETCH(bool, folderExists);
    if (!folderExists)
        QVERIFY(modulesDir.removeRecursively());
    MainWindow window;
    window.loadModules();
    QCOMPARE(texts(window.findChild<QToolBar *>("mainToolBar")->actions()), builtInToolBar);
    QCOMPARE(texts(window.findChild<QMenu *>("menuModules")->actions()),
             QStringList({"-", "Module..."}));
}

void ModulesTest::loadsModuleAndSkipsOtherFiles()
{
    installSample();
    writeJunk("notamodule.so");
    MessageCapture capture;
    MainWindow window;
    window.loadModules();

    QCOMPARE(texts(window.findChild<QToolBar *>("mainToolBar")->actions()),
             builtInToolBar + QStringList{"Table overview"});
    QCOMPARE(texts(window.findChild<QMenu *>("menuModules")->actions()),
             QStringList({"Table overview", "-", "Module..."}));

    const QStringList lines = capture.lines();
    QVERIFY(lines.contains("module  \"libstavimor_samplemodule.so\"  loading"));
    QVERIFY(lines.contains("module  \"notamodule.so\"  loading"));
    QCOMPARE(capture.count("MainWindow : create Module object"), 1);
    const QStringList loaderLines = lines.filter(QRegularExpression("^module loader \""));
    QCOMPARE(loaderLines.size(), 2);
    // The file that is not a plug-in is named with the loader's reason.
    QCOMPARE(loaderLines.filter("notamodule.so").size(), 1);
}

void ModulesTest::moduleGetsTheOpenConnection()
{
    installSample();
    MainWindow window;
    window.loadModules();
    ModuleInterface *module = moduleOf(window);
    QVERIFY(module);
    QVERIFY(module->database.isOpen());
    QCOMPARE(module->database.databaseName(), db.name());
    QCOMPARE(module->version, 1.25);
    // The sample's page works on that connection: it lists the tables of the schema.
    const QString summary = module->widget()->findChild<QLabel *>()->text();
    QVERIFY2(summary.contains(db.name()), qPrintable(summary));
}

void ModulesTest::startingTwiceShowsOneWindow()
{
    installSample();
    MainWindow window;
    window.loadModules();
    auto *toolBar = window.findChild<QToolBar *>("mainToolBar");
    QAction *action = toolBar->actions().last();
    QWidget *button = toolBar->widgetForAction(action);
    QCOMPARE(subWindows().size(), 0);
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(button, Qt::LeftButton);
    const QList<QMdiSubWindow *> shown = subWindows();
    QCOMPARE(shown.size(), 1);
    QVERIFY(shown.first()->isVisible());
    QMdiSubWindow *sub = shown.first();
    QCOMPARE(sub->windowTitle(), QString("test"));
    QVERIFY(sub->isMaximized());
    QWidget *widget = sub->widget();
    QVERIFY(widget && widget->isVisible());

    // Closing hides the window; the next start shows the same window with the same widget.
    sub->close();
    QVERIFY(!sub->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(sub->isVisible());
    QCOMPARE(sub->widget(), widget);
    QVERIFY(!sub->testAttribute(Qt::WA_QuitOnClose));
}

void ModulesTest::startingFromTheModulesMenu()
{
    installSample();
    MainWindow window;
    window.loadModules();
    QAction *action = window.findChild<QMenu *>("menuModules")->actions().first();
    QCOMPARE(action->text(), QString("Table overview"));
    action->trigger();
    QCOMPARE(subWindows().size(), 1);
    QMdiSubWindow *shown = subWindows().first();
    QVERIFY(shown->isVisible());
    QCOMPARE(shown->widget(), moduleOf(window)->widget());
}

void ModulesTest::builtInToolBarActionsDoNothing()
{
    installSample();
    MainWindow window;
    window.loadModules();
    for (const char *name :
         {"actionTableEditor", "actionQueryEditor", "actionReportEditor", "actionChartEditor"}) {
        auto *action = window.findChild<QAction *>(name);
        action->setEnabled(true);
        action->trigger();
    }
    QCOMPARE(subWindows().size(), 0);
}

void ModulesTest::secondLoadingReplacesTheFirst()
{
    installSample();
    MainWindow window;
    window.loadModules();
    auto *toolBar = window.findChild<QToolBar *>("mainToolBar");
    QPointer<QObject> firstModule = moduleOf(window);
    toolBar->actions().last()->trigger();
    QCOMPARE(subWindows().size(), 1);
    QPointer<QMdiSubWindow> firstWindow = subWindows().first();

    window.loadModules();
    QCOMPARE(texts(toolBar->actions()), builtInToolBar + QStringList{"Table overview"});
    QCOMPARE(texts(window.findChild<QMenu *>("menuModules")->actions()),
             QStringList({"Table overview", "-", "Module..."}));
    // The earlier window and module object are gone; a fresh one has the connection.
    QVERIFY(!firstWindow);
    QVERIFY(!firstModule);
    QCOMPARE(subWindows().size(), 0);
    ModuleInterface *module = moduleOf(window);
    QVERIFY(module);
    QVERIFY(module->database.isOpen());
    toolBar->actions().last()->trigger();
    QCOMPARE(subWindows().size(), 1);
    QCOMPARE(subWindows().first()->widget(), module->widget());
    QVERIFY(module->widget()->isVisible());
}

void ModulesTest::sameNameKeepsTheLaterModule()
{
    installSample("liba.so");
    installSample("libb.so");
    MainWindow window;
    window.loadModules();
    QCOMPARE(texts(window.findChild<QToolBar *>("mainToolBar")->actions()),
             builtInToolBar + QStringList{"Table overview"});
    QCOMPARE(texts(window.findChild<QMenu *>("menuModules")->actions()),
             QStringList({"Table overview", "-", "Module..."}));
}

void ModulesTest::disabledModulesAreSkipped()
{
    installSample();
    QSettings().setValue("module_disable/Table overview", true);
    MainWindow window;
    window.loadModules();
    QCOMPARE(texts(window.findChild<QToolBar *>("mainToolBar")->actions()), builtInToolBar);

    QSettings().setValue("module_disable/Table overview", false);
    window.loadModules();
    QCOMPARE(texts(window.findChild<QToolBar *>("mainToolBar")->actions()),
             builtInToolBar + QStringList{"Table overview"});
}

void ModulesTest::loginLoadsModules()
{
    installSample();
    MainWindow window;
    for (int attempt = 0; attempt < 2; ++attempt) {
        ModalAnswer answer([](QWidget *modal) {
            modal->findChild<QLineEdit *>("usernameLineEdit")->setText("alice");
            modal->findChild<QLineEdit *>("passwordLineEdit")->setText("secret");
            QTest::mouseClick(modal->findChild<QPushButton *>("loginButton"), Qt::LeftButton);
        });
        window.findChild<QAction *>("actionLogin")->trigger();
        QVERIFY(answer.answered());
        QVERIFY(window.findChild<QAction *>("actionLogin")->isChecked());
        QCOMPARE(texts(window.findChild<QToolBar *>("mainToolBar")->actions()),
                 builtInToolBar + QStringList{"Table overview"});
        ModuleInterface *module = moduleOf(window);
        QVERIFY(module);
        QVERIFY(module->database.isOpen());
        window.findChild<QAction *>("actionLogin")->trigger();
        QVERIFY(!window.findChild<QAction *>("actionLogin")->isChecked());
    }
}

void ModulesTest::moduleActionOpensTheModulePage()
{
    installSample();
    MainWindow window;
    window.loadModules();
    QStringList rows;
    QString pageTitle;
    // Switched off on the page and saved: the module leaves the tool bar at once.
    ModalAnswer answer([&](QWidget *modal) {
        if (auto *page = modal->findChild<ModuleSettingsWidget *>()) {
            pageTitle = page->windowTitle();
            auto *tree = page->findChild<QTreeWidget *>();
            for (int row = 0; row < tree->topLevelItemCount(); ++row)
                rows << tree->topLevelItem(row)->text(0);
            tree->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
        }
        QTest::mouseClick(modal->findChild<QPushButton *>("saveButton"), Qt::LeftButton);
    });
    window.findChild<QAction *>("actionModule")->trigger();
    QVERIFY(answer.answered());
    QCOMPARE(answer.className(), QString("FormDialog"));
    QCOMPARE(pageTitle, QString("Modules"));
    QCOMPARE(rows, QStringList{"Table overview"});
    QCOMPARE(texts(window.findChild<QToolBar *>("mainToolBar")->actions()), builtInToolBar);
    QCOMPARE(texts(window.findChild<QMenu *>("menuModules")->actions()),
             QStringList({"-", "Module..."}));
}

void ModulesTest::pageListsModules()
{
    installSample();
    writeJunk("readme.txt");
    ModuleSettingsWidget page;
    QCOMPARE(page.windowTitle(), QString("Modules"));
    QVERIFY(!page.windowIcon().isNull());
    auto *tree = page.findChild<QTreeWidget *>();
    QCOMPARE(tree->columnCount(), 3);
    QCOMPARE(tree->headerItem()->text(0), QString("name"));
    QCOMPARE(tree->headerItem()->text(1), QString("version"));
    QCOMPARE(tree->headerItem()->text(2), QString("author"));
    QCOMPARE(tree->topLevelItemCount(), 1);
    QTreeWidgetItem *item = tree->topLevelItem(0);
    QCOMPARE(item->text(0), QString("Table overview"));
    QCOMPARE(item->text(1), QString("1.25"));
    QCOMPARE(item->text(2), QString("Stavimor examples"));
    QCOMPARE(item->checkState(0), Qt::Checked);
    auto *button = page.findChild<QPushButton *>();
    QCOMPARE(button->text(), QString("New modules..."));
}

void ModulesTest::pageShowsVersions_data()
{
    QTest::addColumn<double>("version");
    QTest::addColumn<QString>("shown");
    QTest::newRow("two decimals") << 1.25 << "1.25";
    QTest::newRow("whole") << 2.0 << "2";
    QTest::newRow("six digits") << 1.2345678 << "1.23457";
}

void ModulesTest::pageShowsVersions()
{
    QFETCH(double, version);
    QFETCH(QString, shown);
    installSample();
    // The plug-in's root object is one per process: the page sees the version set here.
    ModuleInterface *module =
        ModuleLoader::module(modulesDir.absoluteFilePath("libstavimor_samplemodule.so"));
    QVERIFY(module);
    const double original = module->version;
    module->version = version;
    ModuleSettingsWidget page;
    module->version = original;
    QCOMPARE(page.findChild<QTreeWidget *>()->topLevelItem(0)->text(1), shown);
}

void ModulesTest::pageStoresDisabledModules()
{
    installSample();
    ModuleSettingsWidget page;
    QTreeWidgetItem *item = page.findChild<QTreeWidget *>()->topLevelItem(0);
    item->setCheckState(0, Qt::Unchecked);
    QVERIFY(page.save());
    QCOMPARE(QSettings().value("module_disable/Table overview"), QVariant(true));

    ModuleSettingsWidget again;
    QTreeWidgetItem *reloaded = again.findChild<QTreeWidget *>()->topLevelItem(0);
    QCOMPARE(reloaded->checkState(0), Qt::Checked);
    QVERIFY(again.load());
    QCOMPARE(reloaded->checkState(0), Qt::Unchecked);

    reloaded->setCheckState(0, Qt::Checked);
    QVERIFY(again.save());
    QVERIFY(!QSettings().contains("module_disable/Table overview"));
}

void ModulesTest::catalogue_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("how");          // 0 served, 1 refused, 2 no address
    QTest::addColumn<QStringList>("rows"); // name|version|comment|path per row

    const QByteArray two = "<?xml version=\"1.0\"?><modules>"
                           "<module title=\"Notes\" version=\"1.2\"><path>http://x/notes.so</path>"
                           "<comment>Notes on rows</comment></module>"
                           "<module title=\"Charts\" version=\"0.3\"><comment>Plots</comment>"
                           "<path>http://x/charts.so</path></module></modules>";
    QTest::newRow("two entries") << two << 200 << 0
                                 << QStringList{"Notes|1.2|Notes on rows|http://x/notes.so",
                                                "Charts|0.3|Plots|http://x/charts.so"};
    QTest::newRow("missing parts")
        << QByteArray("<m><module title=\"Bare\"/></m>") << 200 << 0 << QStringList{"Bare|||"};
    QTest::newRow("comment and text are entries too")
        << QByteArray("<m><!-- soon --><module title=\"A\"/>loose text</m>") << 200 << 0
        << QStringList{"|||", "A|||", "|||"};
    QTest::newRow("empty body") << QByteArray() << 200 << 0 << QStringList();
    QTest::newRow("not XML") << QByteArray("title=Notes") << 200 << 0 << QStringList();
    QTest::newRow("not found") << QByteArray("<html><b>gone</b></html>") << 404 << 0
                               << QStringList();
    QTest::newRow("server error") << QByteArray() << 500 << 0 << QStringList();
    QTest::newRow("connection refused") << QByteArray() << 200 << 1 << QStringList();
    QTest::newRow("no address in the database") << QByteArray() << 200 << 2 << QStringList();
}

void ModulesTest::catalogue()
{
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(int, how);
    QFETCH(QStringList, rows);

    server.setResponse("/modules.xml", body, status);
    if (how == 2)
        QVERIFY(db.exec("DELETE FROM infos"));
    else
        setCatalogueUrl(how == 1 ? LoopbackHttpServer::refusedUrl("/modules.xml").toString()
                                 : server.url("/modules.xml").toString());

    GetModuleDialog dialog;
    QCOMPARE(dialog.windowTitle(), QString("Dialog"));
    QVERIFY(!dialog.isEnabled());
    QTRY_VERIFY(dialog.isEnabled());
    QTreeWidget *tree = catalogueTree(dialog);
    QStringList seen;
    for (int row = 0; row < tree->topLevelItemCount(); ++row) {
        QTreeWidgetItem *item = tree->topLevelItem(row);
        seen << QStringList{item->text(0), item->text(1), item->text(2),
                            item->data(0, Qt::UserRole).toString()}
                    .join('|');
        QVERIFY(!item->icon(0).isNull());
    }
    QCOMPARE(seen, rows);
}

void ModulesTest::downloadWithoutSelectionDoesNothing()
{
    server.setResponse("/modules.xml", "<m><module title=\"A\"><path>" +
                                           server.url("/a.so").toString().toUtf8() +
                                           "</path></module></m>");
    setCatalogueUrl(server.url("/modules.xml").toString());
    GetModuleDialog dialog;
    dialog.show();
    QTRY_VERIFY(dialog.isEnabled());
    QTest::mouseClick(dialog.findChild<QPushButton *>("downloadButton"), Qt::LeftButton);
    QTest::qWait(200);
    QVERIFY(dialog.isVisible());
    QCOMPARE(server.requests(), QStringList{"/modules.xml"});
}

void ModulesTest::downloadInstalls_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("alreadyThere");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("new module") << 200 << false << true;
    QTest::newRow("existing file is kept") << 200 << true << true;
    QTest::newRow("not found") << 404 << false << false;
}

void ModulesTest::downloadInstalls()
{
    QFETCH(int, status);
    QFETCH(bool, alreadyThere);
    QFETCH(bool, accepted);

    QFile plugin(STAVIMOR_SAMPLE_MODULE);
    QVERIFY(plugin.open(QIODevice::ReadOnly));
    const QByteArray bytes = plugin.readAll();
    LoopbackHttpServer::Response response;
    response.status = status;
    response.body = status == 200 ? bytes : QByteArray("<html>missing</html>");
    response.contentType = "application/octet-stream";
    server.setResponse("/files/libtableoverview.so", response);
    server.setResponse("/modules.xml",
                       "<m><module title=\"Table overview\" version=\"1.25\">"
                       "<path>" +
                           server.url("/files/libtableoverview.so").toString().toUtf8() +
                           "</path></module></m>");
    setCatalogueUrl(server.url("/modules.xml").toString());
    const QString target = modulesDir.absoluteFilePath("libtableoverview.so");
    if (alreadyThere)
        writeJunk("libtableoverview.so");

    MessageCapture capture;
    GetModuleDialog dialog;
    dialog.show();
    QTRY_VERIFY(dialog.isEnabled());
    QTreeWidget *tree = catalogueTree(dialog);
    tree->topLevelItem(0)->setSelected(true);
    QTimer::singleShot(10000, &dialog, &QDialog::reject);
    QTest::mouseClick(dialog.findChild<QPushButton *>("downloadButton"), Qt::LeftButton);

    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(accepted ? QDialog::Accepted : QDialog::Rejected));
    QCOMPARE(capture.contains("YES!!"), accepted);
    QFile installed(target);
    if (!accepted) {
        QVERIFY(!installed.exists());
        return;
    }
    QVERIFY(installed.open(QIODevice::ReadOnly));
    if (alreadyThere)
        QCOMPARE(installed.readAll(), QByteArray("this is not a shared library\n"));
    else
        QCOMPARE(installed.readAll(), bytes);
    // The download itself was stored in the working directory.
    QVERIFY(QFile::exists(QDir(workDir.path()).absoluteFilePath("libtableoverview.so")));
}

void ModulesTest::cancelClosesTheCatalogue()
{
    server.setResponse("/modules.xml", "<m><module title=\"A\"/></m>");
    setCatalogueUrl(server.url("/modules.xml").toString());
    GetModuleDialog dialog;
    dialog.show();
    QTRY_VERIFY(dialog.isEnabled());
    QTest::mouseClick(dialog.findChild<QPushButton *>("cancelButton"), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void ModulesTest::newModulesReloadsThePage()
{
    QFile plugin(STAVIMOR_SAMPLE_MODULE);
    QVERIFY(plugin.open(QIODevice::ReadOnly));
    LoopbackHttpServer::Response response;
    response.body = plugin.readAll();
    server.setResponse("/files/libfetched.so", response);
    server.setResponse("/modules.xml", "<m><module title=\"Fetched\"><path>" +
                                           server.url("/files/libfetched.so").toString().toUtf8() +
                                           "</path></module></m>");
    setCatalogueUrl(server.url("/modules.xml").toString());

    ModuleSettingsWidget page;
    auto *tree = page.findChild<QTreeWidget *>();
    QCOMPARE(tree->topLevelItemCount(), 0);
    ModalAnswer answer([](QWidget *modal) {
        auto *catalogue = qobject_cast<GetModuleDialog *>(modal);
        QTRY_VERIFY(catalogue->isEnabled());
        catalogue->findChild<QTreeWidget *>()->topLevelItem(0)->setSelected(true);
        QTest::mouseClick(catalogue->findChild<QPushButton *>("downloadButton"), Qt::LeftButton);
    });
    QTest::mouseClick(page.findChild<QPushButton *>(), Qt::LeftButton);
    QVERIFY(answer.answered());
    QCOMPARE(answer.className(), QString("GetModuleDialog"));
    QCOMPARE(tree->topLevelItemCount(), 1);
    QCOMPARE(tree->topLevelItem(0)->text(0), QString("Table overview"));
}

QTEST_MAIN(ModulesTest)
#include "tst_modules.moc"
