#include "proxysettingswidget.h"
#include "ui_proxysettingswidget.h"

#include <QSettings>

#include "forms/proxytypes.h"

ProxySettingsWidget::ProxySettingsWidget(QWidget *parent)
    : AbstractFormWidget(parent)
    , ui(new Ui::ProxySettingsWidget)
{
    ui->setupUi(this);
    setWindowTitle(tr("Proxy"));
    setWindowIcon(QIcon(":16x16/security.png"));
    ui->typeComboBox->addItems(ProxyTypes::table().keys());
    ui->typeComboBox->setCurrentIndex(2);
}

ProxySettingsWidget::~ProxySettingsWidget()
{
    delete ui;
}

bool ProxySettingsWidget::save()
{
    QSettings settings;
    settings.beginGroup("proxy");
    settings.setValue("hasProxy", ui->groupBox->isChecked());
    settings.setValue("proxyType", ui->typeComboBox->currentText());
    settings.setValue("hostName", ui->hostNameEdit->text());
    settings.setValue("port", ui->portSpinBox->value());
    settings.setValue("username", ui->usernameEdit->text());
    settings.setValue("password", ui->passwordEdit->text());
    settings.endGroup();
    return true;
}

bool ProxySettingsWidget::load()
{
    QSettings settings;
    settings.beginGroup("proxy");
    const QString type = settings.value("proxyType").toString();
    const int index = ProxyTypes::table().contains(type) ? ui->typeComboBox->findText(type) : 0;
    ui->typeComboBox->setCurrentIndex(index);
    const bool hasProxy = settings.value("hasProxy", false).toBool();
    ui->frame->setEnabled(hasProxy);
    ui->groupBox->setChecked(hasProxy);
    ui->hostNameEdit->setText(settings.value("hostName").toString());
    ui->portSpinBox->setValue(settings.value("port").toInt());
    ui->usernameEdit->setText(settings.value("username").toString());
    ui->passwordEdit->setText(settings.value("password").toString());
    settings.endGroup();
    return true;
}
