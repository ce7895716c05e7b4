#include "extrecordeditor.h"
#include "ui_extrecordeditor.h"

#include "editor/extrecorddelegate.h"
#include "editor/extrecordmodel.h"

ExtRecordEditor::ExtRecordEditor(ExtModel *model, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ExtRecordEditor)
{
    ui->setupUi(this);
    recordModel = new ExtRecordModel(model, this);
    ui->tableView->setModel(recordModel);
    ui->tableView->setItemDelegate(new ExtRecordDelegate(this));
    for (QToolButton *button : {ui->errorButton, ui->todoButton, ui->validButton})
        connect(button, &QToolButton::clicked, this, &ExtRecordEditor::setStates);
}

ExtRecordEditor::~ExtRecordEditor()
{
    delete ui;
}

void ExtRecordEditor::setStates()
{
    auto *button = qobject_cast<QToolButton *>(sender());
    if (!button)
        return;
    int state = 0;
    if (button == ui->errorButton)
        state = -1;
    else if (button == ui->validButton)
        state = 1;
    for (const QModelIndex &index : ui->tableView->selectionModel()->selectedRows(0))
        recordModel->setState(index.row(), state);
}
