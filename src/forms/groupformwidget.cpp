#include "groupformwidget.h"
#include "ui_groupformwidget.h"

#include <QMessageBox>

#include "forms/abstractformwidget.h"

GroupFormWidget::GroupFormWidget(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::GroupFormWidget)
{
    ui->setupUi(this);
    connect(ui->listWidget, &QListWidget::clicked, this, &GroupFormWidget::showCurrentWidget);
    connect(ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->defaultButton, &QPushButton::clicked, this, &GroupFormWidget::loadAll);
    connect(ui->okButton, &QPushButton::clicked, this, &GroupFormWidget::okClicked);
    connect(ui->applyButton, &QPushButton::clicked, this, &GroupFormWidget::saveAll);
}

GroupFormWidget::~GroupFormWidget()
{
    qDeleteAll(pages);
    delete ui;
}

void GroupFormWidget::addFormWidget(AbstractFormWidget *page)
{
    ui->listWidget->addItem(new QListWidgetItem(page->windowIcon(), page->windowTitle()));
    ui->stackedWidget->addWidget(page);
    pages << page;
    if (ui->stackedWidget->count() == 1) {
        ui->listWidget->setCurrentRow(0);
        showCurrentWidget();
    }
}

void GroupFormWidget::showCurrentWidget()
{
    const int row = ui->listWidget->selectionModel()->currentIndex().row();
    AbstractFormWidget *page = pages.value(row);
    if (!page)
        return;
    ui->stackedWidget->setCurrentIndex(row);
    ui->tabWidget->setTabText(0, page->windowTitle());
    ui->tabWidget->setTabIcon(0, page->windowIcon());
}

bool GroupFormWidget::loadAll()
{
    for (AbstractFormWidget *page : pages)
        page->load();
    return true;
}

// Every page is saved even when an earlier one fails; a failure is never passed off as
// success: the dialog names the pages and their reasons and shows the first of them.
bool GroupFormWidget::saveAll()
{
    QStringList failures;
    int firstFailed = -1;
    for (int i = 0; i < pages.size(); ++i) {
        if (pages.at(i)->save())
            continue;
        if (firstFailed < 0)
            firstFailed = i;
        failures << tr("%1: %2").arg(pages.at(i)->windowTitle(), pages.at(i)->errorString());
    }
    if (failures.isEmpty())
        return true;
    ui->listWidget->setCurrentRow(firstFailed);
    showCurrentWidget();
    QMessageBox::warning(
        this, tr("Not saved"),
        tr("These pages could not be saved; their changes are kept:\n%1").arg(failures.join("\n")));
    return false;
}

void GroupFormWidget::okClicked()
{
    if (saveAll())
        accept();
}
