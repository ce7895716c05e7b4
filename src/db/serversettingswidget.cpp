#include "serversettingswidget.h"
#include "ui_serversettingswidget.h"

#include <QMessageBox>
#include <QSqlError>

#include "db/connectionsettings.h"

ServerSettingsWidget::ServerSettingsWidget(QWidget *parent)
    : AbstractFormWidget(parent)
    , ui(new Ui::ServerSettingsWidget)
{
    ui->setupUi(this);
    setWindowTitle(tr("server"));
    setWindowIcon(QIcon(":16x16/server_setting.png"));
    ui->driverComboBox->addItems(QSqlDatabase::drivers());
    connect(ui->testButton, &QPushButton::clicked, this, &ServerSettingsWidget::test);
}

ServerSettingsWidget::~ServerSettingsWidget()
{
    delete ui;
}

ConnectionSettings ServerSettingsWidget::fields() const
{
    ConnectionSettings values;
    values.driver = ui->driverComboBox->currentText();
    values.host = ui->hostLineEdit->text();
    values.databaseName = ui->databasenameLineEdit->text();
    values.login = ui->loginLineEdit->text();
    values.password = ui->PassordLineEdit->text();
    values.port = ui->portSpinBox->value();
    return values;
}

bool ServerSettingsWidget::save()
{
    fields().write();
    return true;
}

bool ServerSettingsWidget::load()
{
    const ConnectionSettings values = ConnectionSettings::read();
    ui->driverComboBox->setCurrentIndex(
        ui->driverComboBox->findText(values.driver, Qt::MatchExactly | Qt::MatchCaseSensitive));
    ui->hostLineEdit->setText(values.host);
    ui->portSpinBox->setValue(values.port);
    ui->databasenameLineEdit->setText(values.databaseName);
    ui->loginLineEdit->setText(values.login);
    ui->PassordLineEdit->setText(values.password);
    return true;
}

void ServerSettingsWidget::test()
{
    QSqlDatabase db = fields().addDefaultDatabase();
    if (!db.open()) {
        auto *box = new QMessageBox(this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setText(tr("cannot open connection"));
        box->setDetailedText(db.lastError().text());
        box->exec();
        return;
    }
    QMessageBox::information(this, tr("success"), tr("connection success"), QMessageBox::Ok);
}
