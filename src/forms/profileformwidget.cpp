#include "profileformwidget.h"
#include "ui_profileformwidget.h"

#include "core/stavimor.h"
#include "core/usermanager.h"
#include "db/sqlhelper.h"

ProfileFormWidget::ProfileFormWidget(QWidget *parent)
    : AbstractFormWidget(parent)
    , ui(new Ui::ProfileFormWidget)
{
    ui->setupUi(this);
    setWindowTitle(tr("profile"));
    setWindowIcon(QIcon(":16x16/user.png"));
}

ProfileFormWidget::~ProfileFormWidget()
{
    delete ui;
}

bool ProfileFormWidget::load()
{
    const QSqlRecord user = Stavimor::instance()->userManager->currentUser;
    ui->firstNameLineEdit->setText(user.value("first_name").toString());
    ui->secondNameLineEdit->setText(user.value("second_name").toString());
    ui->emailLineEdit->setText(user.value("email").toString());
    ui->passwordLineEdit->clear();
    ui->confirmLineEdit->clear();
    error.clear();
    return true;
}

bool ProfileFormWidget::save()
{
    error.clear();
    const QString password = ui->passwordLineEdit->text();
    if (password != ui->confirmLineEdit->text()) {
        error = tr("the two passwords differ");
        return false;
    }
    UserManager *users = Stavimor::instance()->userManager;
    const QVariant id = users->currentUser.value("id");
    QSqlRecord row = SqlHelper::record("users", id);
    if (row.isEmpty() || row.value("id").isNull()) {
        error = tr("your user row cannot be read");
        return false;
    }
    row.setValue("first_name", ui->firstNameLineEdit->text());
    row.setValue("second_name", ui->secondNameLineEdit->text());
    row.setValue("email", ui->emailLineEdit->text());
    if (!password.isEmpty())
        row.setValue("password", UserManager::passwordHash(password));
    if (!SqlHelper::update("users", row)) {
        error = tr("the server refused the change");
        return false;
    }
    users->setCurrentUser(UserManager::user(id));
    ui->passwordLineEdit->clear();
    ui->confirmLineEdit->clear();
    return true;
}
