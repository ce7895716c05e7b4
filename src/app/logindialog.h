#pragma once

#include <QDialog>
#include <QSqlRecord>

namespace Ui {
class LoginDialog;
}

// Asks for a user name and password and checks them against the `users` table.
class LoginDialog : public QDialog
{
    Q_OBJECT
public:
    explicit LoginDialog(QWidget *parent = nullptr);
    ~LoginDialog() override;

    QSqlRecord record;

public slots:
    void login();

private:
    Ui::LoginDialog *ui;
};
