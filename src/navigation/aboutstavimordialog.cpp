#include "aboutstavimordialog.h"
#include "ui_aboutstavimordialog.h"

AboutStavimorDialog::AboutStavimorDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::AboutStavimorDialog)
{
    ui->setupUi(this);
    ui->listWidget->addItem(QCoreApplication::applicationName());
    ui->listWidget->addItem(QCoreApplication::applicationVersion());
    ui->listWidget->addItem(QCoreApplication::applicationFilePath());
    ui->listWidget->addItem(QCoreApplication::organizationName());
    ui->listWidget->addItem(QCoreApplication::organizationDomain());
}

AboutStavimorDialog::~AboutStavimorDialog()
{
    delete ui;
}
