#include <QAction>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest>

#include "app/mainwindow.h"
#include "db/serversettingswidget.h"
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
    void moduleWindow();
    void loginLoadsModules();
    void catalogue_data();
    void catalogue();
    void download_data();
    void download();
    void modulePage();

private:
    void installSample(const QString &name = "libstavimor_samplemodule.so");
    void writeJunk(const QString &name);
    void serveCatalogue(const QByteArray &body, int status = 200);
    // Tool bar or menu entries, "-" for a separator.
    static QStringList texts(QWidget *bar);
    static ModuleInterface *moduleOf(MainWindow &window);
    // The module windows that exist: they are top-level windows of their own.
    static QList<QMdiSubWindow *> subWindows();
    // The table names the sample module's page lists, or its summary when it lists none.
    QStringList listedTables(QWidget *page);

    TestSettings settings;
    TestDatabase db;
    LoopbackHttpServer server;
    QTemporaryDir workDir;
    QString savedCurrent;
    // Set before anything can fail: a default QDir is the working folder, which the clean-up
    // would remove.
    QDir modulesDir{ModuleLoader::directory()};
};

static const QStringList builtInToolBar{"login",        "-",          "tableEditor", "queryEditor",
                                        "reportEditor", "ChartEditor"};
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

QStringList ModulesTest::texts(QWidget *bar)
{
    QStringList result;
    for (QAction *action : bar->actions())
        result << (action->isSeparator() ? QString("-") : action->text());
    return result;
}

ModuleInterface *ModulesTest::moduleOf(MainWindow &window)
{
    for (QAction *action : window.findChild<QToolBar *>("mainToolBar")->actions()) {
        if (auto *module = qobject_cast<ModuleInterface *>(action->parent()))
            return module;
    }
    return nullptr;
}

QList<QMdiSubWindow *> ModulesTest::subWindows()
{
    QList<QMdiSubWindow *> found;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(widget))
            found << sub;
    }
    return found;
}

void ModulesTest::loading_data()
{
    QTest::addColumn<QStringList>("plugins"); // "-": the folder is missing
    QTest::addColumn<QStringList>("junk");
    QTest::newRow("no folder") << QStringList{"-"} << QStringList();
    QTest::newRow("module and other files")
        << QStringList{"libstavimor_samplemodule.so"} << QStringList{"notamodule.so"};
    QTest::newRow("same name twice: one entry")
        << QStringList{"liba.so", "libb.so"} << QStringList();
}

void ModulesTest::loading()
{
    QFETCH(QStringList, plugins);
    QFETCH(QStringList, junk);
    if (plugins == QStringList{"-"})
        QVERIFY(modulesDir.removeRecursively());
    else
        for (const QString &name : plugins)
            installSample(name);
    for (const QString &name : junk)
        writeJunk(name);
    MessageCapture capture;
    MainWindow window;
    window.loadModules();
    auto *bar = window.findChild<QToolBar *>("mainToolBar");
    auto *menu = window.findChild<QMenu *>("menuModules");
    const QStringList entry = plugins.first() == "-" ? QStringList() : QStringList{sample};
    QCOMPARE(texts(bar), builtInToolBar + entry);
    QCOMPARE(texts(menu), entry);
    if (junk.isEmpty())
        return;
    for (const QString &name : plugins + junk)
        QVERIFY(capture.contains("module  \"" + name + "\"  loading"));
    QCOMPARE(capture.count("MainWindow :  create Module object"), 1);
    // The file that is not a plug-in is named with the loader's reason.
    const QStringList loaderLines = capture.lines().filter(QRegularExpression("^module loader \""));
    QCOMPARE(loaderLines.size(), 2);
    QCOMPARE(loaderLines.filter("notamodule.so").size(), 1);
}

// The tool bar and the menu start the one window of the module; closing only hides it; a second
// loading replaces window and module by fresh ones that work on the connection.
void ModulesTest::moduleWindow()
{
    installSample();
    MainWindow window;
    window.loadModules();
    auto *bar = window.findChild<QToolBar *>("mainToolBar");
    QWidget *button = bar->widgetForAction(bar->actions().last());
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(subWindows().size(), 1);
    QPointer<QMdiSubWindow> sub = subWindows().first();
    QVERIFY(sub->isVisible());
    QVERIFY(!sub->testAttribute(Qt::WA_QuitOnClose));
    QPointer<QObject> firstModule = moduleOf(window);
    QCOMPARE(sub->widget(), moduleOf(window)->widget());
    sub->close();
    QVERIFY(!sub->isVisible());
    window.findChild<QMenu *>("menuModules")->actions().first()->trigger();
    QCOMPARE(subWindows(), QList<QMdiSubWindow *>{sub});
    QVERIFY(sub->isVisible());

    window.loadModules();
    QCOMPARE(texts(bar), builtInToolBar + QStringList{sample});
    QCOMPARE(texts(window.findChild<QMenu *>("menuModules")), QStringList{sample});
    QVERIFY(!sub);
    QVERIFY(!firstModule);
    QCOMPARE(subWindows().size(), 0);
    ModuleInterface *module = moduleOf(window);
    QVERIFY(module);
    QCOMPARE(module->database.databaseName(), db.name());
    // The sample's page lists the tables of the schema it reaches.
    const QString summary = module->widget()->findChild<QLabel *>()->text();
    QVERIFY2(summary.contains(db.name()), qPrintable(summary));
    bar->actions().last()->trigger();
    QCOMPARE(subWindows().size(), 1);
    QCOMPARE(subWindows().first()->widget(), module->widget());
}

// After each login the sample's window lists the tables of the database logged in to, and its
// Refresh still reaches them once the server page's test has opened the connection anew.
void ModulesTest::loginLoadsModules()
{
    installSample();
    QStringList tables = QSqlDatabase::database().tables();
    tables.sort();
    MainWindow window;
    auto *login = window.findChild<QAction *>("actionLogin");
    for (int attempt = 0; attempt < 2; ++attempt) {
        ModalAnswer answer(TestHelpers::typeLogin("alice", "secret"));
        login->trigger();
        QVERIFY(answer.answered());
        QVERIFY(login->isChecked());
        QCOMPARE(texts(window.findChild<QToolBar *>("mainToolBar")),
                 builtInToolBar + QStringList{sample});
        window.findChild<QMenu *>("menuModules")->actions().first()->trigger();
        QCOMPARE(subWindows().size(), 1);
        QWidget *page = subWindows().first()->widget();
        QCOMPARE(listedTables(page), tables);

        ServerSettingsWidget server;
        QVERIFY(server.load());
        ModalAnswer tested(ModalAnswer::accept());
        QTest::mouseClick(server.findChild<QPushButton *>("testButton"), Qt::LeftButton);
        QVERIFY(tested.answered());
        page->findChild<QListWidget *>()->clear();
        QTest::mouseClick(page->findChild<QPushButton *>(), Qt::LeftButton);
        QCOMPARE(listedTables(page), tables);
        // The logout takes the session's module windows away.
        login->trigger();
        QVERIFY(!login->isChecked());
        QCOMPARE(subWindows().size(), 0);
    }
}

QStringList ModulesTest::listedTables(QWidget *page)
{
    const QString summary = page->findChild<QLabel *>()->text();
    if (!summary.contains(db.name()))
        return {summary};
    QStringList names;
    auto *list = page->findChild<QListWidget *>();
    for (int row = 0; row < list->count(); ++row)
        names << list->item(row)->text().section(' ', 0, 0);
    return names;
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
    QTest::newRow("not XML") << QByteArray("title=Notes") << 200 << 0 << QStringList();
    QTest::newRow("not found") << QByteArray("<html><b>gone</b></html>") << 404 << 0
                               << QStringList();
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
    QVERIFY(!dialog.isEnabled());
    QTRY_VERIFY(dialog.isEnabled());
    QTreeWidget *tree = dialog.findChild<QTreeWidget *>("treeWidget");
    QStringList seen;
    for (int row = 0; row < tree->topLevelItemCount(); ++row) {
        QTreeWidgetItem *item = tree->topLevelItem(row);
        seen << QStringList{item->text(0), item->text(1), item->text(2),
                            item->data(0, Qt::UserRole).toString()}
                    .join('|');
    }
    QCOMPARE(seen, rows);
}

void ModulesTest::download_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("alreadyThere");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<int>("result"); // -1: the dialog stays open
    QTest::newRow("existing file is kept") << 200 << true << true << int(QDialog::Accepted);
    QTest::newRow("not found") << 404 << false << true << int(QDialog::Rejected);
    QTest::newRow("nothing selected") << 200 << false << false << -1;
}

void ModulesTest::download()
{
    QFETCH(int, status);
    QFETCH(bool, alreadyThere);
    QFETCH(bool, selected);
    QFETCH(int, result);
    QFile plugin(STAVIMOR_SAMPLE_MODULE);
    QVERIFY(plugin.open(QIODevice::ReadOnly));
    const QByteArray bytes = plugin.readAll();
    server.setResponse("/files/libtableoverview.so",
                       status == 200 ? bytes : QByteArray("<html>missing</html>"), status);
    serveCatalogue("<m><module title=\"Table overview\" version=\"1.25\"><path>" +
                   server.url("/files/libtableoverview.so").toString().toUtf8() +
                   "</path></module></m>");
    if (alreadyThere)
        writeJunk("libtableoverview.so");

    MessageCapture capture;
    GetModuleDialog dialog;
    dialog.show();
    QTRY_VERIFY(dialog.isEnabled());
    dialog.findChild<QTreeWidget *>("treeWidget")->topLevelItem(0)->setSelected(selected);
    QTimer::singleShot(10000, &dialog, &QDialog::reject);
    QTest::mouseClick(dialog.findChild<QPushButton *>("downloadButton"), Qt::LeftButton);
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
    // The download waited elsewhere, not in the working directory.
    QCOMPARE(QDir(workDir.path()).entryList(QDir::Files), QStringList());
}

// Through the window, whose shortcut opens the module page once logged in (no menu lists it):
// "New modules..." fetches the catalogue's module into the modules folder, the page lists it,
// and once the page is saved it is in the Modules menu and works on the connection; nothing is
// left in the working directory or beside the program. Switched off and saved, a module leaves
// the tool bar at once; switched on again, its setting is gone.
void ModulesTest::modulePage()
{
    writeJunk("readme.txt");
    QFile plugin(STAVIMOR_SAMPLE_MODULE);
    QVERIFY(plugin.open(QIODevice::ReadOnly));
    server.setResponse("/files/libfetched.so", plugin.readAll());
    serveCatalogue("<m><module title=\"Fetched\"><path>" +
                   server.url("/files/libfetched.so").toString().toUtf8() + "</path></module></m>");

    MainWindow window;
    window.loadModules();
    window.setEnabled(true);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QStringList listed;
    ModalAnswer answer([&](QWidget *modal) {
        auto *tree = modal->findChild<ModuleSettingsWidget *>()->findChild<QTreeWidget *>();
        QCOMPARE(tree->topLevelItemCount(), 0);
        ModalAnswer fetch([](QWidget *catalogue) {
            QTRY_VERIFY(catalogue->isEnabled());
            catalogue->findChild<QTreeWidget *>()->topLevelItem(0)->setSelected(true);
            QTest::mouseClick(catalogue->findChild<QPushButton *>("downloadButton"),
                              Qt::LeftButton);
        });
        QTest::mouseClick(modal->findChild<QPushButton *>("newModulesButton"), Qt::LeftButton);
        QVERIFY(fetch.answered());
        listed << tree->headerItem()->text(0) + "|" + tree->headerItem()->text(1) + "|" +
                      tree->headerItem()->text(2);
        for (int row = 0; row < tree->topLevelItemCount(); ++row)
            listed << tree->topLevelItem(row)->text(0) + "|" + tree->topLevelItem(row)->text(1) +
                          "|" + tree->topLevelItem(row)->text(2);
        QTest::mouseClick(modal->findChild<QPushButton *>("saveButton"), Qt::LeftButton);
    });
    QTest::keyClick(&window, Qt::Key_M, Qt::ControlModifier);
    QVERIFY(answer.answered());
    QCOMPARE(listed, QStringList({"name|version|author", sample + "|1.25|Stavimor examples"}));
    QCOMPARE(modulesDir.entryList(QDir::Files), QStringList({"libfetched.so", "readme.txt"}));
    QCOMPARE(QDir(workDir.path()).entryList(QDir::Files), QStringList());
    QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() + "/libfetched.so"));
    QCOMPARE(texts(window.findChild<QMenu *>("menuModules")), QStringList{sample});
    window.findChild<QMenu *>("menuModules")->actions().first()->trigger();
    QStringList tables = QSqlDatabase::database().tables();
    tables.sort();
    QCOMPARE(listedTables(subWindows().first()->widget()), tables);

    ModalAnswer off([&](QWidget *modal) {
        modal->findChild<ModuleSettingsWidget *>()
            ->findChild<QTreeWidget *>()
            ->topLevelItem(0)
            ->setCheckState(0, Qt::Unchecked);
        QTest::mouseClick(modal->findChild<QPushButton *>("saveButton"), Qt::LeftButton);
    });
    QApplication::setActiveWindow(&window);
    QTest::keyClick(&window, Qt::Key_M, Qt::ControlModifier);
    QVERIFY(off.answered());
    QCOMPARE(texts(window.findChild<QToolBar *>("mainToolBar")), builtInToolBar);
    QCOMPARE(texts(window.findChild<QMenu *>("menuModules")), QStringList());
    QCOMPARE(QSettings().value("module_disable/" + sample), QVariant(true));
    ModuleSettingsWidget page;
    QVERIFY(page.load());
    QTreeWidgetItem *item = page.findChild<QTreeWidget *>()->topLevelItem(0);
    QCOMPARE(item->checkState(0), Qt::Unchecked);
    item->setCheckState(0, Qt::Checked);
    QVERIFY(page.save());
    QVERIFY(!QSettings().contains("module_disable/" + sample));
}

QTEST_MAIN(ModulesTest)
#include "tst_modules.moc"
