#include "listviewer.h"
#include "ui_listviewer.h"

#include <QAction>
#include <QLayout>
#include <QListWidgetItem>

ListViewer::ListViewer(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::ListViewer)
{
    ui->setupUi(this);
    layout()->setContentsMargins(0, 0, 0, 0);
    connect(ui->listWidget, &QListWidget::itemDoubleClicked, this, &ListViewer::itemClicked);
    ui->listWidget->setContextMenuPolicy(Qt::ActionsContextMenu);
}

ListViewer::~ListViewer()
{
    delete ui;
}

void ListViewer::addToolAction(QAction *action)
{
    ui->toolBar->addAction(action);
    ui->listWidget->addAction(action);
}

void ListViewer::addItemAction(QAction *action)
{
    actions.append(action);
    ui->listWidget->addItem(new QListWidgetItem(action->icon(), action->text()));
}

void ListViewer::clearItems()
{
    ui->listWidget->clear();
    actions.clear();
}

int ListViewer::currentRow() const
{
    return ui->listWidget->currentRow();
}

QList<QAction *> ListViewer::itemActions() const
{
    return actions;
}

// Emptying the rows together with the actions keeps every remaining row backed by its action.
void ListViewer::load()
{
    clearItems();
}

void ListViewer::itemClicked(QListWidgetItem *)
{
    const int row = currentRow();
    if (row >= 0 && row < actions.size())
        actions.at(row)->trigger();
}
