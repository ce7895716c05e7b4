#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest>

#include "app/mainwindow.h"
#include "loopbackhttpserver.h"
#include "messagecapture.h"
#include "modalanswer.h"
#include "modules/getmoduledialog.h"
#include "modules/moduleinterface.h"
#include "modules/moduleloader.h"
#include "modules/modulesettingswidget.h"
#include "testdatabase.h"
#include "testhelpers.h"
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
    void cleanup() { QDir::setCurrent(savedCurrent); }
    void cleanupTestCase();

    void loading_data();
    void loading();
    void startingShowsOneWindow();
    void secondLoadingReplacesTheFirst();
    void loginLoadsModules();
    void moduleActionOpensTheModulePage();

    void page_data();
    void page();
    void pageStoresDisabledModules();

    void catalogue_data();
    void catalogue();
    void download_data();
    void download();
    void newModulesReloadsThePage();

private:
    void installSample(const QString &name = "libstavimor_samplemodule.so");
    void writeJunk(const QString &name);
    void serveCatalogue(const QByteArray &body, int status = 200);
    QByteArray pluginBytes() const;
    static QStringList texts(const QList<QAction *> &actions);
    static QStringList toolBar(MainWindow &window);
    static QStringList modulesMenu(MainWindow &window);
    static ModuleInterface *moduleOf(MainWindow &window);
    // The module windows that exist: they are top-level windows of their own.
    static QList<QMdiSubWindow *> subWindows();

    TestSettings settings;
    TestDatabase db;
    LoopbackHttpServer server;
    QTemporaryDir workDir;
    QString savedCurrent;
    QDir modulesDir;
};

static const QStringList builtInToolBar{"login",        "-",          "tableEditor", "queryEditor",
                                        "reportEditor", "ChartEditor"};
static const QStringList emptyMenu{"-", "Module..."};
static const QString sample = "Table overview";

void ModulesTest::initTestCase()
{
    QVERIFY_CREATE(db);
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
    QVERIFY(TestHelpers::writeFile(modulesDir.absoluteFilePath(name),
                                   "this is not a shared library\n"));
}

void ModulesTest::serveCatalogue(const QByteArray &body, int status)
{
    server.setResponse("/modules.xml", body, status);
    QVERIFY_SQL(db, "DELETE FROM infos");
    QVERIFY_SQL(db, "INSERT INTO infos (module_update_url, app_update_url, version) VALUES ('" +
                        server.url("/modules.xml").toString() + "', '', 'beta 0.5.2')");
}

QByteArray ModulesTest::pluginBytes() const
{
    QFile plugin(STAVIMOR_SAMPLE_MODULE);
    return plugin.open(QIODevice::ReadOnly) ? plugin.readAll() : QByteArray();
}

QStringList ModulesTest::texts(const QList<QAction *> &actions)
{
    QStringList result;
    for (QAction *action : actions)
        result << (action->isSeparator() ? QString("-") : action->text());
    return result;
}

QStringList ModulesTest::toolBar(MainWindow &window)
{
    return texts(window.findChild<QToolBar *>("mainToolBar")->actions());
}

QStringList ModulesTest::modulesMenu(MainWindow &window)
{
    return texts(window.findChild<QMenu *>("menuModules")->actions());
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

void ModulesTest::loading_data()
{
    QTest::addColumn<QStringList>("plugins");
    QTest::addColumn<QStringList>("junk");
    QTest::addColumn<QVariant>("disabled");
    QTest::addColumn<bool>("loaded");
    QTest::newRow("empty folder") << QStringList() << QStringList() << QVariant() << false;
    // "-": the folder is missing.
    QTest::newRow("no folder") << QStringList{"-"} << QStringList() << QVariant() << false;
    QTest::newRow("module and other files") << QStringList{"libstavimor_samplemodule.so"}
                                            << QStringList{"notamodule.so"} << QVariant() << true;
    QTest::newRow("same name twice: one entry")
        << QStringList{"liba.so", "libb.so"} << QStringList() << QVariant() << true;
    QTest::newRow("disabled, then enabled")
        << QStringList{"liba.so"} << QStringList() << QVariant(true) << false;
}

void ModulesTest::loading()
{
    QFETCH(QStringList, plugins);
    QFETCH(QStringList, junk);
    QFETCH(QVariant, disabled);
    QFETCH(bool, loaded);
    if (plugins == QStringList{"-"})
        QVERIFY(modulesDir.removeRecursively());
    else
        for (const QString &name : plugins)
            installSample(name);
    for (const QString &name : junk)
        writeJunk(name);
    if (disabled.isValid())
        QSettings().setValue("module_disable/" + sample, disabled);
    MessageCapture capture;
    MainWindow window;
    window.loadModules();
    QCOMPARE(toolBar(window), builtInToolBar + (loaded ? QStringList{sample} : QStringList()));
    QCOMPARE(modulesMenu(window), (loaded ? QStringList{sample} : QStringList()) + emptyMenu);
    if (disabled.isValid()) {
        // Each loading reads the setting again.
        QSettings().setValue("module_disable/" + sample, false);
        window.loadModules();
        QCOMPARE(toolBar(window), builtInToolBar + QStringList{sample});
    }
    if (junk.isEmpty())
        return;
    for (const QString &name : plugins + junk)
        QVERIFY(capture.contains("module  \"" + name + "\"  loading"));
    QCOMPARE(capture.count("MainWindow : create Module object"), 1);
    // The file that is not a plug-in is named with the loader's reason.
    const QStringList loaderLines = capture.lines().filter(QRegularExpression("^module loader \""));
    QCOMPARE(loaderLines.size(), 2);
    QCOMPARE(loaderLines.filter("notamodule.so").size(), 1);
}

// The tool bar and the menu start the one window of the module; closing only hides it. The
// built-in editors of the tool bar open nothing yet.
void ModulesTest::startingShowsOneWindow()
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
    auto *bar = window.findChild<QToolBar *>("mainToolBar");
    QWidget *button = bar->widgetForAction(bar->actions().last());
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(subWindows().size(), 1);
    QMdiSubWindow *sub = subWindows().first();
    QVERIFY(sub->isVisible());
    QCOMPARE(sub->windowTitle(), QString("test"));
    QVERIFY(sub->isMaximized());
    QVERIFY(!sub->testAttribute(Qt::WA_QuitOnClose));
    QCOMPARE(sub->widget(), moduleOf(window)->widget());
    QVERIFY(sub->widget()->isVisible());

    sub->close();
    QVERIFY(!sub->isVisible());
    QAction *entry = window.findChild<QMenu *>("menuModules")->actions().first();
    QCOMPARE(entry->text(), sample);
    entry->trigger();
    QCOMPARE(subWindows(), QList<QMdiSubWindow *>{sub});
    QVERIFY(sub->isVisible());
    QCOMPARE(sub->widget(), moduleOf(window)->widget());
}

void ModulesTest::secondLoadingReplacesTheFirst()
{
    installSample();
    MainWindow window;
    window.loadModules();
    auto *bar = window.findChild<QToolBar *>("mainToolBar");
    QPointer<QObject> firstModule = moduleOf(window);
    bar->actions().last()->trigger();
    QPointer<QMdiSubWindow> firstWindow = subWindows().value(0);
    QVERIFY(firstWindow);

    window.loadModules();
    QCOMPARE(toolBar(window), builtInToolBar + QStringList{sample});
    QCOMPARE(modulesMenu(window), QStringList{sample} + emptyMenu);
    // The earlier window and module object are gone; a fresh one has the connection.
    QVERIFY(!firstWindow);
    QVERIFY(!firstModule);
    QCOMPARE(subWindows().size(), 0);
    ModuleInterface *module = moduleOf(window);
    QVERIFY(module);
    QVERIFY(module->database.isOpen());
    QCOMPARE(module->database.databaseName(), db.name());
    QCOMPARE(module->version, 1.25);
    // The sample's page works on that connection: it lists the tables of the schema.
    const QString summary = module->widget()->findChild<QLabel *>()->text();
    QVERIFY2(summary.contains(db.name()), qPrintable(summary));
    bar->actions().last()->trigger();
    QCOMPARE(subWindows().size(), 1);
    QCOMPARE(subWindows().first()->widget(), module->widget());
}

void ModulesTest::loginLoadsModules()
{
    installSample();
    MainWindow window;
    auto *login = window.findChild<QAction *>("actionLogin");
    for (int attempt = 0; attempt < 2; ++attempt) {
        ModalAnswer answer(TestHelpers::typeLogin("alice", "secret"));
        login->trigger();
        QVERIFY(answer.answered());
        QVERIFY(login->isChecked());
        QCOMPARE(toolBar(window), builtInToolBar + QStringList{sample});
        QVERIFY(moduleOf(window) && moduleOf(window)->database.isOpen());
        login->trigger();
        QVERIFY(!login->isChecked());
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
    QCOMPARE(rows, QStringList{sample});
    QCOMPARE(toolBar(window), builtInToolBar);
    QCOMPARE(modulesMenu(window), emptyMenu);
}

void ModulesTest::page_data()
{
    QTest::addColumn<double>("version");
    QTest::addColumn<QString>("shown");
    QTest::newRow("two decimals") << 1.25 << "1.25";
    QTest::newRow("whole") << 2.0 << "2";
    QTest::newRow("six digits") << 1.2345678 << "1.23457";
}

void ModulesTest::page()
{
    QFETCH(double, version);
    QFETCH(QString, shown);
    installSample();
    writeJunk("readme.txt");
    // The plug-in's root object is one per process: the page sees the version set here.
    ModuleInterface *module =
        ModuleLoader::module(modulesDir.absoluteFilePath("libstavimor_samplemodule.so"));
    QVERIFY(module);
    const double original = module->version;
    module->version = version;
    ModuleSettingsWidget page;
    module->version = original;
    QCOMPARE(page.windowTitle(), QString("Modules"));
    QVERIFY(!page.windowIcon().isNull());
    auto *tree = page.findChild<QTreeWidget *>();
    QTreeWidgetItem *header = tree->headerItem();
    QCOMPARE((QStringList{header->text(0), header->text(1), header->text(2)}),
             (QStringList{"name", "version", "author"}));
    QCOMPARE(tree->topLevelItemCount(), 1);
    QTreeWidgetItem *item = tree->topLevelItem(0);
    QCOMPARE((QStringList{item->text(0), item->text(1), item->text(2)}),
             (QStringList{sample, shown, "Stavimor examples"}));
    QCOMPARE(item->checkState(0), Qt::Checked);
    QCOMPARE(page.findChild<QPushButton *>()->text(), QString("New modules..."));
}

void ModulesTest::pageStoresDisabledModules()
{
    installSample();
    ModuleSettingsWidget page;
    page.findChild<QTreeWidget *>()->topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    QVERIFY(page.save());
    QCOMPARE(QSettings().value("module_disable/" + sample), QVariant(true));

    ModuleSettingsWidget again;
    QTreeWidgetItem *reloaded = again.findChild<QTreeWidget *>()->topLevelItem(0);
    QCOMPARE(reloaded->checkState(0), Qt::Checked);
    QVERIFY(again.load());
    QCOMPARE(reloaded->checkState(0), Qt::Unchecked);
    reloaded->setCheckState(0, Qt::Checked);
    QVERIFY(again.save());
    QVERIFY(!QSettings().contains("module_disable/" + sample));
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
    serveCatalogue(body, status);
    if (how == 1)
        QVERIFY_SQL(db, "UPDATE infos SET module_update_url = '" +
                            LoopbackHttpServer::refusedUrl("/modules.xml").toString() + "'");
    else if (how == 2)
        QVERIFY_SQL(db, "DELETE FROM infos");

    GetModuleDialog dialog;
    QCOMPARE(dialog.windowTitle(), QString("Dialog"));
    QVERIFY(!dialog.isEnabled());
    QTRY_VERIFY(dialog.isEnabled());
    QTreeWidget *tree = dialog.findChild<QTreeWidget *>("treeWidget");
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

void ModulesTest::download_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("alreadyThere");
    QTest::addColumn<QString>("button"); // "": download without a selection
    QTest::addColumn<int>("result");     // -1: the dialog stays open
    QTest::newRow("new module") << 200 << false << "downloadButton" << int(QDialog::Accepted);
    QTest::newRow("existing file is kept")
        << 200 << true << "downloadButton" << int(QDialog::Accepted);
    QTest::newRow("not found") << 404 << false << "downloadButton" << int(QDialog::Rejected);
    QTest::newRow("nothing selected") << 200 << false << "" << -1;
    QTest::newRow("cancel") << 200 << false << "cancelButton" << int(QDialog::Rejected);
}

void ModulesTest::download()
{
    QFETCH(int, status);
    QFETCH(bool, alreadyThere);
    QFETCH(QString, button);
    QFETCH(int, result);
    const QByteArray bytes = pluginBytes();
    LoopbackHttpServer::Response response;
    response.status = status;
    response.body = status == 200 ? bytes : QByteArray("<html>missing</html>");
    response.contentType = "application/octet-stream";
    server.setResponse("/files/libtableoverview.so", response);
    serveCatalogue("<m><module title=\"Table overview\" version=\"1.25\"><path>" +
                   server.url("/files/libtableoverview.so").toString().toUtf8() +
                   "</path></module></m>");
    if (alreadyThere)
        writeJunk("libtableoverview.so");

    MessageCapture capture;
    GetModuleDialog dialog;
    dialog.show();
    QTRY_VERIFY(dialog.isEnabled());
    dialog.findChild<QTreeWidget *>("treeWidget")->topLevelItem(0)->setSelected(!button.isEmpty());
    QTimer::singleShot(10000, &dialog, &QDialog::reject);
    QTest::mouseClick(
        dialog.findChild<QPushButton *>(button.isEmpty() ? "downloadButton" : qPrintable(button)),
        Qt::LeftButton);
    if (result < 0) {
        QTest::qWait(200);
        QVERIFY(dialog.isVisible());
        QCOMPARE(server.requests(), QStringList{"/modules.xml"});
        return;
    }
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), result);
    const bool accepted = result == QDialog::Accepted;
    QCOMPARE(capture.contains("YES!!"), accepted);
    QFile installed(modulesDir.absoluteFilePath("libtableoverview.so"));
    QCOMPARE(installed.exists(), accepted);
    if (!accepted)
        return;
    QVERIFY(installed.open(QIODevice::ReadOnly));
    QCOMPARE(installed.readAll(),
             alreadyThere ? QByteArray("this is not a shared library\n") : bytes);
    // The download itself was stored in the working directory.
    QVERIFY(QFile::exists(QDir(workDir.path()).absoluteFilePath("libtableoverview.so")));
}

void ModulesTest::newModulesReloadsThePage()
{
    LoopbackHttpServer::Response response;
    response.body = pluginBytes();
    server.setResponse("/files/libfetched.so", response);
    serveCatalogue("<m><module title=\"Fetched\"><path>" +
                   server.url("/files/libfetched.so").toString().toUtf8() + "</path></module></m>");

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
    QCOMPARE(tree->topLevelItem(0)->text(0), sample);
}

QTEST_MAIN(ModulesTest)
#include "tst_modules.moc"
