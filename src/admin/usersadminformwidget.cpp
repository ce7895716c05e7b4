#include "usersadminformwidget.h"
#include "ui_usersadminformwidget.h"

#include <QInputDialog>
#include <QSqlRecord>

#include "admin/admintablemodel.h"
#include "core/usermanager.h"

UsersAdminFormWidget::UsersAdminFormWidget(QWidget *parent)
    : TableAdminFormWidget(parent)
    , ui(new Ui::UsersAdminFormWidget)
{
    ui->setupUi(this);
    setWindowTitle(tr("User"));
    setWindowIcon(QIcon(":/16x16/user.png"));
    setUpModel(ui->tableView, "users");
    model->setRequiredColumn(model->fieldIndex("username"), tr("Every user needs a user name."));
    connect(ui->addButton, &QPushButton::clicked, this, &UsersAdminFormWidget::addUser);
    connect(ui->delButton, &QPushButton::clicked, this, &UsersAdminFormWidget::delUser);
    connect(ui->setPassButton, &QPushButton::clicked, this, &UsersAdminFormWidget::setPass);
    load();
    hideColumns({"id", "password", "avatar_url", "comment"});
    setColumnLabel(model->fieldIndex("username"), tr("User name"));
    setColumnLabel(model->fieldIndex("first_name"), tr("First name"));
    setColumnLabel(model->fieldIndex("second_name"), tr("Second name"));
    setColumnLabel(model->fieldIndex("email"), tr("E-mail"));
    ui->tableView->resizeColumnsToContents();
}

UsersAdminFormWidget::~UsersAdminFormWidget()
{
    delete ui;
}

void UsersAdminFormWidget::addUser()
{
    appendRecord(model->record());
}

void UsersAdminFormWidget::delUser()
{
    removeSelectedRows();
}

void UsersAdminFormWidget::setPass()
{
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    const int current = ui->tableView->currentIndex().row();
    const int row = rows.contains(current) ? current : rows.last();
    const QString username = model->record(row).value("username").toString();

    bool ok = false;
    const QString password =
        QInputDialog::getText(this, tr("set password to") + " " + username, tr("Password:"),
                              QLineEdit::Password, QString(), &ok);
    // A cancelled prompt, or one left empty, keeps the password the user has.
    if (!ok || password.isEmpty())
        return;
    model->setData(model->index(row, model->fieldIndex("password")),
                   UserManager::passwordHash(password));
}
