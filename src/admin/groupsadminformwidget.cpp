#include "groupsadminformwidget.h"
#include "ui_groupsadminformwidget.h"

#include <QSqlRecord>

#include "admin/admintablemodel.h"

GroupsAdminFormWidget::GroupsAdminFormWidget(QWidget *parent)
    : TableAdminFormWidget(parent)
    , ui(new Ui::GroupsAdminFormWidget)
{
    ui->setupUi(this);
    setWindowTitle(tr("Groups"));
    setWindowIcon(QIcon(":/16x16/group.png"));
    setUpModel(ui->tableView, "groups");
    model->setRequiredColumn(model->fieldIndex("name"), tr("Every group needs a name."));
    connect(ui->addButton, &QPushButton::clicked, this, &GroupsAdminFormWidget::addGroup);
    connect(ui->delButton, &QPushButton::clicked, this, &GroupsAdminFormWidget::delGroup);
    load();
    hideColumns({"id"});
    setColumnLabel(model->fieldIndex("name"), tr("Name"));
}

GroupsAdminFormWidget::~GroupsAdminFormWidget()
{
    delete ui;
}

void GroupsAdminFormWidget::addGroup()
{
    appendRecord(model->record());
}

void GroupsAdminFormWidget::delGroup()
{
    removeSelectedRows();
}
