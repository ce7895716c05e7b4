#include "extrecordeditor.h"
#include "ui_extrecordeditor.h"

#include <QMessageBox>

#include "core/stavimor.h"
#include "core/usermanager.h"
#include "editor/extquestiondialog.h"
#include "editor/extrecorddelegate.h"
#include "editor/extrecordmodel.h"
#include "model/extfieldqueries.h"
#include "model/extmodel.h"

ExtRecordEditor::ExtRecordEditor(ExtModel *model, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::ExtRecordEditor)
    , tableModel(model)
{
    ui->setupUi(this);
    recordModel = new ExtRecordModel(model, this);
    ui->tableView->setModel(recordModel);
    ui->tableView->setItemDelegate(new ExtRecordDelegate(this));
    for (QToolButton *button : {ui->errorButton, ui->todoButton, ui->validButton})
        connect(button, &QToolButton::clicked, this, &ExtRecordEditor::setStates);
    connect(ui->askButton, &QToolButton::clicked, this, &ExtRecordEditor::ask);
    connect(recordModel, &ExtRecordModel::layoutChanged, this, &ExtRecordEditor::showReview);
    connect(model, &ExtModel::reviewRead, this, &ExtRecordEditor::showReview);
    // A signed row opens no editor: a double click says why.
    connect(ui->tableView, &QTableView::doubleClicked, this,
            [this] { tableModel->refuseSigned(recordModel->row()); });
    showReview();
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

void ExtRecordEditor::showReview()
{
    const int row = recordModel->row();
    const ExtSignature *signature = tableModel->signature(row);
    ui->signatureLabel->setVisible(signature);
    if (signature)
        ui->signatureLabel->setText(
            tr("Signed (%1) by %2 on %3")
                .arg(signature->meaning, signature->userName,
                     signature->when.toLocalTime().toString("yyyy-MM-dd HH:mm")));
    const bool saved =
        row >= 0 && row < tableModel->rowCount() && !tableModel->records.at(row)->isNull("id");
    ui->askButton->setVisible(tableModel->keepsReview());
    ui->askButton->setEnabled(saved);
    // The form's decorations show the open questions.
    if (recordModel->rowCount() > 0)
        emit recordModel->dataChanged(recordModel->index(0, 0),
                                      recordModel->index(recordModel->rowCount() - 1, 0));
}

void ExtRecordEditor::ask()
{
    const int row = recordModel->row();
    const QModelIndexList fields = ui->tableView->selectionModel()->selectedRows(0);
    if (!tableModel->keepsReview() || row < 0 || row >= tableModel->rowCount() || fields.isEmpty())
        return;
    const ExtRecord *record = tableModel->records.at(row);
    const int field = fields.first().row();
    ExtQuestionDialog dialog(record->label(field), record->value("id").toString(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    ExtFieldQueries questions(tableModel->tableName,
                              Stavimor::instance()->userManager->currentUser.value("id"));
    QString why;
    if (!questions.open(record->value("id"), record->fieldName(field), dialog.text(), &why))
        QMessageBox::warning(this, tr("question not asked"), why);
    tableModel->readReview();
}
