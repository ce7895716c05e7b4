#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QDockWidget>
#include <QFileInfo>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QNetworkProxy>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QToolBar>

#include "admin/admindialog.h"
#include "app/clipboardactions.h"
#include "app/logindialog.h"
#include "core/logcategories.h"
#include "core/stavimor.h"
#include "core/usermanager.h"
#include "db/connectionsettings.h"
#include "editor/exttableeditor.h"
#include "forms/formdialog.h"
#include "forms/preferencedialog.h"
#include "forms/profileformwidget.h"
#include "forms/proxytypes.h"
#include "modules/moduleinterface.h"
#include "modules/moduleloader.h"
#include "modules/modulesettingswidget.h"
#include "navigation/aboutstavimordialog.h"
#include "navigation/centralwidget.h"
#include "navigation/iconlabel.h"
#include "navigation/userview.h"
#include "query/queryeditor.h"
#include "update/majdialog.h"

namespace {
void applyProxySettings()
{
    QNetworkProxy::setApplicationProxy(ProxyTypes::fromSettings());
}
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);

    userDock = new QDockWidget;
    userView = new UserView;
    userDock->setWidget(userView);
    userDock->setFeatures(QDockWidget::DockWidgetMovable);
    addDockWidget(Qt::RightDockWidgetArea, userDock);
    userDock->hide();

    iconLabel = new IconLabel(QIcon(), QString());
    centralArea = new CentralWidget;

    connect(ui->actionPreferences, &QAction::triggered, this, &MainWindow::showPreference);
    connect(ui->actionAdministration, &QAction::triggered, this, &MainWindow::showAdmin);
    connect(ui->actionShowUserView, &QAction::triggered, this,
            qOverload<bool>(&MainWindow::showUserDock));
    connect(ui->mainToolBar, &QToolBar::actionTriggered, this, &MainWindow::startModule);
    connect(ui->actionLogin, &QAction::triggered, this, &MainWindow::toggleLogin);
    connect(ui->actionUpdate, &QAction::triggered, this, &MainWindow::showMAJ);
    // The module page has no menu entry of its own: its action is the window's, by shortcut.
    addAction(ui->actionModule);
    connect(ui->actionModule, &QAction::triggered, this, &MainWindow::showModuleSettings);
    connect(ui->actionQuit, &QAction::triggered, this, &QWidget::close);
    connect(ui->actionAbout_Qt, &QAction::triggered, qApp, &QApplication::aboutQt);
    connect(ui->actionAbout_Stavimor, &QAction::triggered, this, &MainWindow::showAboutStavimor);
    connect(ui->actionAdd_contact, &QAction::triggered, userView, &UserView::addContact);
    connect(ui->actionEdit_profil, &QAction::triggered, this, &MainWindow::showProfile);
    connect(ui->actionCut, &QAction::triggered, this,
            [] { ClipboardActions::cut(QApplication::focusWidget()); });
    connect(ui->actionCopy, &QAction::triggered, this,
            [] { ClipboardActions::copy(QApplication::focusWidget()); });
    connect(ui->actionPast, &QAction::triggered, this,
            [] { ClipboardActions::paste(QApplication::focusWidget()); });

    applyProxySettings();
    setEnabled(false);

    // Loading the preference pages once puts the stored style into effect.
    auto *preferences = new PreferenceDialog(nullptr);
    preferences->loadAll();
    delete preferences;

    statusBar()->addPermanentWidget(iconLabel, 0);
    setCentralWidget(centralArea);
}

MainWindow::~MainWindow()
{
    delete ui;
    delete userDock;
    deleteModules();
    // A statement still running is stopped through the connection, while it is open.
    qDeleteAll(findChildren<QueryEditor *>());
    delete Stavimor::instance();
    QSqlDatabase::database(QSqlDatabase::defaultConnection, false).close();
    qCDebug(lcApp).noquote() << "delete all : mainwindow";
}

void MainWindow::showPreference()
{
    PreferenceDialog dialog(nullptr);
    dialog.exec();
}

void MainWindow::showProfile()
{
    auto *page = new ProfileFormWidget;
    page->load();
    FormDialog dialog(page, nullptr);
    dialog.setWindowTitle(page->windowTitle());
    dialog.exec();
}

void MainWindow::showAdmin()
{
    AdminDialog dialog(nullptr);
    dialog.exec();
}

void MainWindow::showUserDock(bool show)
{
    userDock->setVisible(show);
}

void MainWindow::showUserDock()
{
    showUserDock(true);
}

void MainWindow::loadModules()
{
    // A new loading starts from the built-in tool bar, with fresh module objects.
    unloadModules();
    ui->menuModules->clear();
    QSettings settings;
    settings.beginGroup("module_disable");
    const QStringList files = ModuleLoader::files();
    for (const QString &file : files) {
        qCDebug(lcApp) << "module " << QFileInfo(file).fileName() << " loading";
        QString error;
        QObject *root = ModuleLoader::root(file, &error);
        if (root) {
            auto *module = qobject_cast<ModuleInterface *>(root);
            qCDebug(lcApp).noquote() << "MainWindow :"
                                     << " create Module object";
            // A module without an action has no name to be known by.
            if (module && module->action())
                addModule(module, settings.value(module->action()->text(), false).toBool());
        }
        qCDebug(lcApp) << "module loader" << error;
    }
}

// Every module object the window took is either registered or deleted, so that none lives on
// to the end of the process holding a connection whose driver is already gone.
void MainWindow::addModule(ModuleInterface *module, bool disabled)
{
    const QString name = module->action()->text();
    if (disabled) {
        delete module;
        return;
    }
    // Of two modules of one name the later one is kept, with one button.
    if (ModuleInterface *earlier = modules.take(name)) {
        ui->mainToolBar->removeAction(earlier->action());
        ui->menuModules->removeAction(earlier->action());
        delete earlier;
    }
    module->setDatabase(QSqlDatabase::database());
    module->setCore(Stavimor::instance());
    modules.insert(name, module);
    ui->mainToolBar->addAction(module->action());
    ui->menuModules->addAction(module->action());
}

void MainWindow::unloadModules()
{
    for (ModuleInterface *module : std::as_const(modules))
        ui->mainToolBar->removeAction(module->action());
    deleteModules();
}

// The windows go first: they hand the modules' widgets back before the modules delete them.
void MainWindow::deleteModules()
{
    for (QMdiSubWindow *window : std::as_const(moduleWindows)) {
        window->setWidget(nullptr);
        delete window;
    }
    moduleWindows.clear();
    qDeleteAll(modules);
    modules.clear();
}

void MainWindow::startModule(QAction *action)
{
    ModuleInterface *module = modules.value(action->text());
    if (!module)
        return;
    QMdiSubWindow *window = moduleWindows.value(action->text());
    if (!window) {
        QWidget *widget = module->widget();
        if (!widget)
            return;
        window = new QMdiSubWindow;
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        // An open module window must not keep the application running after the main window.
        window->setAttribute(Qt::WA_QuitOnClose, false);
        widget->setAttribute(Qt::WA_DeleteOnClose, false);
        window->setWidget(widget);
        window->setWindowTitle(tr("test"));
        moduleWindows.insert(action->text(), window);
    }
    window->showMaximized();
    window->widget()->setVisible(true);
}

void MainWindow::openConnection()
{
    QSqlDatabase db = ConnectionSettings::read().addDefaultDatabase();
    if (!db.open()) {
        QMessageBox box(QMessageBox::Information, tr("erreur"), tr("cannot connect to db"),
                        QMessageBox::Ok);
        // A first start has no server yet: say where it is set and why this one failed.
        const QString reason =
            db.isValid() ? db.lastError().text() : tr("no database driver is chosen");
        box.setInformativeText(
            tr("The server is set in File, Preferences, server.\n%1").arg(reason));
        box.exec();
    } else {
        statusBar()->showMessage(tr("connection success to database ") + db.hostName());
    }
    qCDebug(lcApp).noquote() << "MainWindow"
                             << ": openConnection";
}

void MainWindow::toggleLogin(bool accept)
{
    if (accept)
        login();
    else
        logout();
}

void MainWindow::login()
{
    openConnection();
    LoginDialog dialog(nullptr);
    if (dialog.exec() != QDialog::Accepted)
        return;
    Stavimor::instance()->userManager->setCurrentUser(dialog.record);
    setEnabled(true);
    centralArea->loadAll();
    userView->load();
    iconLabel->icon = QIcon(":16x16/accept.png");
    iconLabel->pixmapLabel->setPixmap(iconLabel->icon.pixmap(16, 16, QIcon::Normal, QIcon::On));
    iconLabel->textLabel->setText(dialog.record.value("username").toString());
    // After the login the modules find the connection open.
    loadModules();
}

bool MainWindow::settleEditors()
{
    return ExtTableEditor::settleUnsaved(findChildren<ExtTableEditor *>(), this);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (settleEditors())
        event->accept();
    else
        event->ignore();
}

void MainWindow::logout()
{
    if (!settleEditors()) {
        // Still logged in: the action shows it.
        ui->actionLogin->setChecked(true);
        return;
    }
    // No window keeps the rows of this session for the next user. The modules were given this
    // session's connection; the next login loads them afresh.
    qDeleteAll(findChildren<ExtTableEditor *>());
    qDeleteAll(findChildren<QueryEditor *>());
    unloadModules();
    setEnabled(false);
    iconLabel->icon = QIcon();
    iconLabel->pixmapLabel->setPixmap(iconLabel->icon.pixmap(16, 16));
    iconLabel->textLabel->setText(QString());
    QSqlDatabase::database(QSqlDatabase::defaultConnection, false).close();
    centralArea->clear();
    userView->clear();
}

void MainWindow::showMAJ()
{
    MAJDialog dialog(nullptr);
    dialog.exec();
}

void MainWindow::showModuleSettings()
{
    // The page belongs with the Modules menu, which is off while logged out.
    if (!ui->menuModules->isEnabled())
        return;
    auto *page = new ModuleSettingsWidget;
    page->load();
    FormDialog dialog(page, nullptr);
    dialog.exec();
    // Modules switched off or fetched on the page take effect at once, not at the next login.
    loadModules();
}

void MainWindow::setEnabled(bool enable)
{
    userDock->setEnabled(enable);
    ui->menuEdit->setEnabled(enable);
    ui->menuModules->setEnabled(enable);
    ui->menuAccount->setEnabled(enable);
    ui->actionTableEditor->setEnabled(enable);
    ui->actionQueryEditor->setEnabled(enable);
    ui->actionChartEditor->setEnabled(enable);
    ui->actionReportEditor->setEnabled(enable);
    ui->actionAdministration->setEnabled(enable &&
                                         Stavimor::instance()->userManager->isAdministrator());
}

void MainWindow::showAboutStavimor()
{
    AboutStavimorDialog dialog(nullptr);
    dialog.exec();
}

void MainWindow::test(QAction *action)
{
    qCDebug(lcApp).noquote() << action->text();
}
