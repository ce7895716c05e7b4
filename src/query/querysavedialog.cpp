#include "querysavedialog.h"
#include "ui_querysavedialog.h"

#include "core/stavimor.h"
#include "core/usermanager.h"

QuerySaveDialog::QuerySaveDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::QuerySaveDialog)
{
    ui->setupUi(this);
    for (const QSqlRecord &group : Stavimor::instance()->userManager->userGroups)
        ui->comboBox->addItem(QIcon(":16x16/group.png"), group.value("name").toString(),
                              group.value("id"));
}

QuerySaveDialog::~QuerySaveDialog()
{
    delete ui;
}

int QuerySaveDialog::groupId() const
{
    return ui->comboBox->currentData().toInt();
}

QString QuerySaveDialog::name() const
{
    return ui->lineEdit->text();
}
