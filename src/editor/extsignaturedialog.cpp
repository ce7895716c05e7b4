#include "extsignaturedialog.h"
#include "ui_extsignaturedialog.h"

#include <QPushButton>

#include "core/usermanager.h"

ExtSignatureDialog::ExtSignatureDialog(Mode mode, const QSqlRecord &user, const QString &rows,
                                       QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::ExtSignatureDialog)
    , mode(mode)
    , user(user)
{
    ui->setupUi(this);
    const bool signing = mode == Sign;
    setWindowTitle(signing ? tr("Sign rows") : tr("Withdraw signature"));
    ui->introLabel->setText(
        signing ? tr("Sign %1. A signed row keeps its values, review states and existence until "
                     "its signature is withdrawn.")
                      .arg(rows)
                : tr("Withdraw the signature of %1. The signature stays on record with the "
                     "reason, and the row can change again.")
                      .arg(rows));
    ui->signerLabel->setText(user.value("username").toString());
    ui->meaningCombo->addItems({tr("reviewed"), tr("approved")});
    for (QWidget *widget :
         {static_cast<QWidget *>(ui->meaningTitle), static_cast<QWidget *>(ui->meaningCombo)})
        widget->setVisible(signing);
    for (QWidget *widget :
         {static_cast<QWidget *>(ui->reasonTitle), static_cast<QWidget *>(ui->reasonEdit)})
        widget->setVisible(!signing);
    ui->errorLabel->hide();
    ui->buttonBox->button(QDialogButtonBox::Ok)->setText(signing ? tr("Sign") : tr("Withdraw"));
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &ExtSignatureDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &ExtSignatureDialog::reject);
    ui->passwordEdit->setFocus();
}

ExtSignatureDialog::~ExtSignatureDialog()
{
    delete ui;
}

QString ExtSignatureDialog::meaning() const
{
    return ui->meaningCombo->currentText().trimmed();
}

QString ExtSignatureDialog::reason() const
{
    return ui->reasonEdit->text().trimmed();
}

void ExtSignatureDialog::accept()
{
    QString problem;
    if (mode == Sign && meaning().isEmpty())
        problem = tr("Say what the signature means.");
    else if (mode == Withdraw && reason().isEmpty())
        problem = tr("Give the reason of the withdrawal.");
    // The second component of the signature: checked as the login checks it.
    else if (!UserManager::confirmPassword(user, ui->passwordEdit->text()))
        problem = tr("The password is not that of %1.").arg(user.value("username").toString());
    if (problem.isEmpty()) {
        QDialog::accept();
        return;
    }
    ui->errorLabel->setText(problem);
    ui->errorLabel->show();
    ui->passwordEdit->clear();
}
