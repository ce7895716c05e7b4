#include <QtTest>
#include <QtWidgets>

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

static const QStringList builtInToolBar{"login",        "-",          "tableEditor", "queryEditor",
                                        "reportEditor", "ChartEditor"};
static const QString sample = "Table overview";

// Plug-in modules: the sample plug-in, built by the project, loaded from disk by the main
// window and the module page; the catalogue served by a loopback HTTP server. The only test
// that writes into the modules folder beside the test executables.
class ModulesTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY_CREATE(db);
        QVERIFY(db.addUser("alice", "secret") > 0);
        QVERIFY(server.listen());
        QVERIFY(workDir.isValid());
        savedCurrent = QDir::currentPath();
        modulesDir = ModuleLoader::directory();
        QCOMPARE(modulesDir.absolutePath(), QCoreApplication::applicationDirPath() + "/modules");
    }

    void init()
    {
        settings.clear();
        db.writeConnectionSettings();
        QVERIFY(db.openDefault());
        modulesDir.removeRecursively();
        QVERIFY(QDir().mkpath(modulesDir.absolutePath()));
        QDir::setCurrent(workDir.path());
    }

    void cleanup() { QDir::setCurrent(savedCurrent); }
    void cleanupTestCase()
    {
        modulesDir.removeRecursively();
        db.drop();
    }

    void loading_data()
    {
        QTest::addColumn<QStringList>("plugins"); // "-": no modules folder
        QTest::addColumn<QStringList>("junk");
        QTest::newRow("no folder") << QStringList{"-"} << QStringList();
        QTest::newRow("module and other files")
            << QStringList{"libstavimor_samplemodule.so"} << QStringList{"notamodule.so"};
        QTest::newRow("same name twice: one entry")
            << QStringList{"liba.so", "libb.so"} << QStringList();
    }

    void loading()
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
        const QStringList entry = plugins.first() == "-" ? QStringList() : QStringList{sample};
        QCOMPARE(texts(window.findChild<QToolBar *>("mainToolBar")), builtInToolBar + entry);
        QCOMPARE(texts(window.findChild<QMenu *>("menuModules")), entry);
        if (junk.isEmpty())
            return;
        for (const QString &name : plugins + junk)
            QVERIFY(capture.contains("module  \"" + name + "\"  loading"));
        QCOMPARE(capture.count("MainWindow :  create Module object"), 1);
        // The file that is not a plug-in is named with the loader's reason.
        const QStringList loaderLines =
            capture.lines().filter(QRegularExpression("^module loader \""));
        QCOMPARE(loaderLines.filter("notamodule.so").size(), 1);
    }

    // The tool bar and the menu start the one window of the module; closing only hides it; a second
    // loading replaces window and module by fresh ones that work on the connection.
    void moduleWindow()
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
        QPointer<QObject> firstModule = moduleOf(window);
        QCOMPARE(sub->widget(), moduleOf(window)->widget());
        sub->close();
        QVERIFY(!sub->isVisible());
        window.findChild<QMenu *>("menuModules")->actions().first()->trigger();
        QCOMPARE(subWindows(), QList<QMdiSubWindow *>{sub});
        QVERIFY(sub->isVisible());

        window.loadModules();
        QVERIFY(!sub && !firstModule);
        QVERIFY(moduleOf(window));
        // The next user gets neither the module nor its window.
        firstModule = moduleOf(window);
        window.findChild<QMenu *>("menuModules")->actions().first()->trigger();
        sub = subWindows().value(0);
        QVERIFY(sub);
        window.logout();
        QVERIFY(!sub && !firstModule && !moduleOf(window));
    }

    void catalogue_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");       // 0: no address in the database
        QTest::addColumn<QStringList>("rows"); // name|version|comment|path per row

        const QByteArray two =
            "<?xml version=\"1.0\"?><modules>"
            "<module title=\"Notes\" version=\"1.2\"><path>http://x/notes.so</path>"
            "<comment>Notes on rows</comment></module>"
            "<module title=\"Charts\" version=\"0.3\"><comment>Plots</comment>"
            "<path>http://x/charts.so</path></module></modules>";
        QTest::newRow("two entries") << two << 200
                                     << QStringList{"Notes|1.2|Notes on rows|http://x/notes.so",
                                                    "Charts|0.3|Plots|http://x/charts.so"};
        QTest::newRow("comment and text are entries too")
            << QByteArray("<m><!-- soon --><module title=\"A\"/>loose text</m>") << 200
            << QStringList{"|||", "A|||", "|||"};
        QTest::newRow("not found")
            << QByteArray("<html><b>gone</b></html>") << 404 << QStringList();
        QTest::newRow("no address in the database") << QByteArray() << 0 << QStringList();
    }

    void catalogue()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(QStringList, rows);
        serveCatalogue(body, status);
        if (!status)
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

    void download_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("alreadyThere");
        QTest::newRow("existing file is kept") << 200 << true;
        QTest::newRow("not found") << 404 << false;
    }

    // A download never replaces a module of that name, and a failed one leaves nothing behind.
    void download()
    {
        QFETCH(int, status);
        QFETCH(bool, alreadyThere);
        server.setResponse("/files/libtableoverview.so", "<html>missing</html>", status);
        serveCatalogue("<m><module title=\"Table overview\" version=\"1.25\"><path>" +
                       server.url("/files/libtableoverview.so").toString().toUtf8() +
                       "</path></module></m>");
        if (alreadyThere)
            writeJunk("libtableoverview.so");
        MessageCapture capture;
        GetModuleDialog dialog;
        dialog.show();
        QTRY_VERIFY(dialog.isEnabled());
        dialog.findChild<QTreeWidget *>("treeWidget")->topLevelItem(0)->setSelected(true);
        QTimer::singleShot(10000, &dialog, &QDialog::reject);
        QTest::mouseClick(dialog.findChild<QPushButton *>("downloadButton"), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(alreadyThere ? QDialog::Accepted : QDialog::Rejected));
        QCOMPARE(capture.contains("YES!!"), alreadyThere);
        QCOMPARE(modulesDir.entryList(QDir::Files),
                 alreadyThere ? QStringList{"libtableoverview.so"} : QStringList());
        QFile installed(modulesDir.absoluteFilePath("libtableoverview.so"));
        if (alreadyThere)
            QVERIFY(installed.open(QIODevice::ReadOnly) &&
                    installed.readAll() == "this is not a shared library\n");
    }

    // Through the window, whose shortcut opens the module page once logged in (no menu lists it):
    // "New modules..." fetches the catalogue's module into the modules folder, the page lists it,
    // and once the page is saved it is in the Modules menu and works on the connection; nothing is
    // left in the working directory or beside the program. Switched off and saved, a module leaves
    // the tool bar at once.
    void modulePage()
    {
        writeJunk("readme.txt");
        QFile plugin(STAVIMOR_SAMPLE_MODULE);
        QVERIFY(plugin.open(QIODevice::ReadOnly));
        server.setResponse("/files/libfetched.so", plugin.readAll());
        serveCatalogue("<m><module title=\"Fetched\"><path>" +
                       server.url("/files/libfetched.so").toString().toUtf8() +
                       "</path></module></m>");

        MainWindow window;
        window.loadModules();
        window.setEnabled(true);
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QStringList listed;
        ModalAnswer answer([&](QWidget *modal) {
            auto *tree = modal->findChild<ModuleSettingsWidget *>()->findChild<QTreeWidget *>();
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
                listed << tree->topLevelItem(row)->text(0) + "|" +
                              tree->topLevelItem(row)->text(1) + "|" +
                              tree->topLevelItem(row)->text(2);
            QTest::mouseClick(modal->findChild<QPushButton *>("saveButton"), Qt::LeftButton);
        });
        QTest::keyClick(&window, Qt::Key_M, Qt::ControlModifier);
        QVERIFY(answer.answered());
        QCOMPARE(listed, QStringList({"name|version|author", sample + "|1.25|Stavimor examples"}));
        QCOMPARE(modulesDir.entryList(QDir::Files), QStringList({"libfetched.so", "readme.txt"}));
        QCOMPARE(QDir(workDir.path()).entryList(QDir::Files), QStringList());
        QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() + "/libfetched.so"));
        window.findChild<QMenu *>("menuModules")->actions().first()->trigger();
        const QString summary = subWindows().first()->widget()->findChild<QLabel *>()->text();
        QVERIFY2(summary.contains(db.name()), qPrintable(summary));

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
        QCOMPARE(QSettings().value("module_disable/" + sample), QVariant(true));
    }

private:
    void installSample(const QString &name = "libstavimor_samplemodule.so")
    {
        QVERIFY(QFile::copy(STAVIMOR_SAMPLE_MODULE, modulesDir.absoluteFilePath(name)));
    }

    void writeJunk(const QString &name)
    {
        QVERIFY(TestHelpers::writeFile(modulesDir.absoluteFilePath(name),
                                       "this is not a shared library\n"));
    }

    void serveCatalogue(const QByteArray &body, int status = 200)
    {
        server.setResponse("/modules.xml", body, status);
        QVERIFY_SQL(db, "DELETE FROM infos");
        QVERIFY_SQL(db, "INSERT INTO infos (module_update_url, app_update_url, version) VALUES ('" +
                            server.url("/modules.xml").toString() + "', '', 'beta 0.5.2')");
    }

    // Tool bar or menu entries, "-" for a separator.
    static QStringList texts(QWidget *bar)
    {
        QStringList result;
        for (QAction *action : bar->actions())
            result << (action->isSeparator() ? QString("-") : action->text());
        return result;
    }

    static ModuleInterface *moduleOf(MainWindow &window)
    {
        for (QAction *action : window.findChild<QToolBar *>("mainToolBar")->actions()) {
            if (auto *module = qobject_cast<ModuleInterface *>(action->parent()))
                return module;
        }
        return nullptr;
    }

    // The module windows that exist: they are top-level windows of their own.
    static QList<QMdiSubWindow *> subWindows()
    {
        QList<QMdiSubWindow *> found;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *sub = qobject_cast<QMdiSubWindow *>(widget))
                found << sub;
        }
        return found;
    }

    TestSettings settings;
    TestDatabase db;
    LoopbackHttpServer server;
    QTemporaryDir workDir;
    QString savedCurrent;
    // Set before anything can fail: a default QDir is the working folder, which the clean-up
    // would remove.
    QDir modulesDir{ModuleLoader::directory()};
};

QTEST_MAIN(ModulesTest)
#include "tst_modules.moc"
