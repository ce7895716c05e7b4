#include "centralwidget.h"
#include "ui_centralwidget.h"

#include <QAction>
#include <QSqlDatabase>

#include "editor/extlistviewer.h"
#include "navigation/listviewer.h"
#include "query/querylistviewer.h"

CentralWidget::CentralWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::CentralWidget)
{
    ui->setupUi(this);
    layout()->setContentsMargins(0, 0, 0, 0);
    addPage(new ExtListViewer);
    addPage(new QueryListViewer);
    connect(ui->treeWidget, &QTreeWidget::itemDoubleClicked, this, &CentralWidget::itemClicked);
    clear();
}

CentralWidget::~CentralWidget()
{
    delete ui;
}

void CentralWidget::addPage(ListViewer *page)
{
    pages << page;
    ui->stackedWidget->addWidget(page);
    connect(page, &ListViewer::itemsChanged, this, [this, page] { showEntries(page); });
}

// The page's entries in the tree follow its list whenever it is read again (a query saved or
// removed); before its page item exists there is nothing to follow.
void CentralWidget::showEntries(ListViewer *page)
{
    QTreeWidgetItem *pageItem = rootItem ? rootItem->child(pages.indexOf(page)) : nullptr;
    if (!pageItem)
        return;
    qDeleteAll(pageItem->takeChildren());
    for (QAction *action : page->itemActions()) {
        auto *entry = new QTreeWidgetItem(pageItem, QStringList(action->text()));
        entry->setIcon(0, action->icon());
    }
}

void CentralWidget::loadAll()
{
    const QString driver =
        QSqlDatabase::database(QSqlDatabase::defaultConnection, false).driverName();
    rootItem = new QTreeWidgetItem(QStringList(tr("database(") + driver + ")"));
    rootItem->setToolTip(0, driver);
    rootItem->setIcon(0, QIcon(":16x16/server_database.png"));
    ui->treeWidget->addTopLevelItem(rootItem);
    for (ListViewer *page : pages) {
        page->load();
        auto *pageItem = new QTreeWidgetItem(rootItem, QStringList(page->windowTitle()));
        pageItem->setIcon(0, page->windowIcon());
        showEntries(page);
    }
    ui->treeWidget->expandAll();
    ui->stackedWidget->setEnabled(true);
}

void CentralWidget::clear()
{
    ui->treeWidget->clear();
    rootItem = nullptr;
    ui->stackedWidget->setEnabled(false);
}

void CentralWidget::itemClicked(QTreeWidgetItem *item, int)
{
    if (!item || !rootItem || item == rootItem)
        return;
    const int row = ui->treeWidget->currentIndex().row();
    if (item->parent() == rootItem) {
        ui->stackedWidget->setCurrentIndex(row);
        return;
    }
    if (item->parent() && item->parent()->parent() == rootItem) {
        ListViewer *page = pages.value(rootItem->indexOfChild(item->parent()));
        if (!page)
            return;
        const QList<QAction *> actions = page->itemActions();
        if (row >= 0 && row < actions.size())
            actions.at(row)->trigger();
    }
}
