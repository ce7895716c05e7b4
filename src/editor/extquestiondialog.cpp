#include "extquestiondialog.h"
#include "ui_extquestiondialog.h"

#include <QPushButton>

ExtQuestionDialog::ExtQuestionDialog(const QString &field, const QString &row, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::ExtQuestionDialog)
{
    ui->setupUi(this);
    ui->fieldLabel->setText(
        tr("Question on \"%1\" of row %2, to the one who entered it:").arg(field, row));
    QPushButton *ok = ui->buttonBox->button(QDialogButtonBox::Ok);
    ok->setText(tr("Ask"));
    ok->setEnabled(false);
    connect(ui->questionEdit, &QPlainTextEdit::textChanged, this,
            [this, ok] { ok->setEnabled(!text().isEmpty()); });
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

ExtQuestionDialog::~ExtQuestionDialog()
{
    delete ui;
}

QString ExtQuestionDialog::text() const
{
    return ui->questionEdit->toPlainText().trimmed();
}
