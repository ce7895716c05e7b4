#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QDebug>
#include <QDockWidget>
#include <QLabel>
#include <QMessageBox>
#include <QNetworkProxy>
#include <QSqlDatabase>
#include <QSqlError>

#include "admin/admindialog.h"
#include "app/clipboardactions.h"
#include "app/logindialog.h"
#include "core/stavimor.h"
#include "core/usermanager.h"
#include "db/connectionsettings.h"
#include "forms/formdialog.h"
#include "forms/preferencedialog.h"
#include "forms/profileformwidget.h"
#include "forms/proxytypes.h"
#include "navigation/aboutstavimordialog.h"
#include "navigation/centralwidget.h"
#include "navigation/iconlabel.h"
#include "navigation/userview.h"

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
    connect(ui->actionLogin, &QAction::triggered, this, &MainWindow::toggleLogin);
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
    delete Stavimor::instance();
    QSqlDatabase::database(QSqlDatabase::defaultConnection, false).close();
    qDebug().noquote() << "delete all : mainwindow";
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

void MainWindow::openConnection()
{
    QSqlDatabase db = ConnectionSettings::read().addDefaultDatabase();
    if (!db.open()) {
        QMessageBox box(QMessageBox::Information, tr("erreur"), tr("cannot connect to db"),
                        QMessageBox::Ok);
        // A first start has no server yet: say where it is set and why this one failed.
        const QString reason = db.isValid() ? db.lastError().text()
                                            : tr("no database driver is chosen");
        box.setInformativeText(
            tr("The server is set in File, Preferences, server.\n%1").arg(reason));
        box.exec();
    } else {
        statusBar()->showMessage(tr("connection success to database ") + db.hostName());
    }
    qDebug().noquote() << "MainWindow"
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
}

void MainWindow::logout()
{
    setEnabled(false);
    iconLabel->icon = QIcon();
    iconLabel->pixmapLabel->setPixmap(iconLabel->icon.pixmap(16, 16));
    iconLabel->textLabel->setText(QString());
    QSqlDatabase::database(QSqlDatabase::defaultConnection, false).close();
    centralArea->clear();
    userView->clear();
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
    ui->actionAdministration->setEnabled(enable);
}

void MainWindow::showAboutStavimor()
{
    AboutStavimorDialog dialog(nullptr);
    dialog.exec();
}

void MainWindow::test(QAction *action)
{
    qDebug().noquote() << action->text();
}
