#pragma once

#include <QMainWindow>
#include <QMap>

class CentralWidget;
class IconLabel;
class ModuleInterface;
class QDockWidget;
class QMdiSubWindow;
class UserView;

namespace Ui {
class MainWindow;
}

// The hub of the application: login state, menus and tool bar, and the dialogs they open.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

public slots:
    void showPreference();
    void showAdmin();
    void showProfile();
    void showUserDock(bool show);
    void showUserDock();
    void loadModules();
    void startModule(QAction *action);
    void openConnection();
    void toggleLogin(bool accept);
    void login();
    void logout();
    void showMAJ();
    void showModuleSettings();
    void setEnabled(bool enable);
    void showAboutStavimor();
    void test(QAction *action);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // Settles the unsaved rows of the open table editors; false when the user cancelled or a
    // save failed.
    bool settleEditors();
    void addModule(ModuleInterface *module, bool disabled);
    // The module actions leave the tool bar with their modules.
    void unloadModules();
    void deleteModules();

    Ui::MainWindow *ui;
    QDockWidget *userDock;
    UserView *userView;
    QMap<QString, ModuleInterface *> modules;
    QMap<QString, QMdiSubWindow *> moduleWindows;
    IconLabel *iconLabel;
    CentralWidget *centralArea;
};
