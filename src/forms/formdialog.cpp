#include "formdialog.h"
#include "ui_formdialog.h"

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
    connect(ui->saveButton, &QPushButton::clicked, page, &AbstractFormWidget::save);
    connect(ui->defaultButton, &QPushButton::clicked, page, &AbstractFormWidget::load);
    connect(ui->applyButton, &QPushButton::clicked, page, &AbstractFormWidget::save);
}

FormDialog::~FormDialog()
{
    delete ui;
}
