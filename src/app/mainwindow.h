#pragma once

#include <QMainWindow>

class CentralWidget;
class IconLabel;
class QDockWidget;
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
    void openConnection();
    void toggleLogin(bool accept);
    void login();
    void logout();
    void setEnabled(bool enable);
    void showAboutStavimor();
    void test(QAction *action);

private:
    Ui::MainWindow *ui;
    QDockWidget *userDock;
    UserView *userView;
    IconLabel *iconLabel;
    CentralWidget *centralArea;
};
