#include "formdialog.h"
#include "ui_formdialog.h"

#include <QMessageBox>
#include <QVBoxLayout>

#include "forms/abstractformwidget.h"

FormDialog::FormDialog(AbstractFormWidget *page, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::FormDialog)
    , page(page)
{
    ui->setupUi(this);
    auto *layout = new QVBoxLayout;
    layout->addWidget(page);
    ui->groupBox->setLayout(layout);
    ui->groupBox->setContentsMargins(0, 0, 0, 0);
    ui->groupBox->setWindowTitle(page->windowTitle());
    // The form's placeholder caption would otherwise stand above the page.
    ui->groupBox->setTitle(page->windowTitle());
    ui->groupBox->setWindowIcon(page->windowIcon());
    connect(ui->saveButton, &QPushButton::clicked, this, [this] {
        if (savePage())
            accept();
    });
    connect(ui->defaultButton, &QPushButton::clicked, page, &AbstractFormWidget::load);
    connect(ui->applyButton, &QPushButton::clicked, this, &FormDialog::savePage);
}

FormDialog::~FormDialog()
{
    delete ui;
}

// A page that cannot be saved keeps the dialog open with its edits, and says why.
bool FormDialog::savePage()
{
    if (page->save())
        return true;
    QMessageBox::warning(this, tr("Not saved"),
                         tr("%1 could not be saved; the changes are kept:\n%2")
                             .arg(page->windowTitle(), page->errorString()));
    return false;
}
