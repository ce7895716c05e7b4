#include "logindialog.h"
#include "ui_logindialog.h"

#include <QMessageBox>
#include <QSettings>

#include "core/usermanager.h"

LoginDialog::LoginDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::LoginDialog)
{
    ui->setupUi(this);
    connect(ui->loginButton, &QPushButton::clicked, this, &LoginDialog::login);
    ui->usernameLineEdit->setText(QSettings().value("login/username").toString());
}

LoginDialog::~LoginDialog()
{
    delete ui;
}

void LoginDialog::login()
{
    const QString username = ui->usernameLineEdit->text();
    const QSqlRecord found =
        UserManager::login(username, UserManager::passwordHash(ui->passwordLineEdit->text()));
    if (found.isEmpty()) {
        QMessageBox::warning(this, tr("error"), tr("this user doesn't exist"), QMessageBox::Ok);
        return;
    }
    record = found;
    QSettings().setValue("login/username", username);
    accept();
}
