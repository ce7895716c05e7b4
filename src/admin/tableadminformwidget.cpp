#include "tableadminformwidget.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>
#include <algorithm>

#include "admin/admintablemodel.h"
#include "db/sqlhelper.h"

TableAdminFormWidget::TableAdminFormWidget(QWidget *parent)
    : AbstractFormWidget(parent)
    , model(new AdminTableModel)
{}

TableAdminFormWidget::~TableAdminFormWidget()
{
    delete model;
}

QString TableAdminFormWidget::errorString() const
{
    return model->errorText();
}

bool TableAdminFormWidget::save()
{
    // A page left alone has nothing to write, and must not report a failure of its reload.
    if (!model->isDirty())
        return true;
    // A failed submit keeps the rows it did not write pending, so they can be mended and saved.
    SqlHelper::reopenIfLost();
    return model->submitAll();
}

bool TableAdminFormWidget::load()
{
    SqlHelper::reopenIfLost();
    return model->select();
}

void TableAdminFormWidget::setUpModel(QTableView *view, const QString &table)
{
    tableView = view;
    model->setTable(table);
    model->setEditStrategy(QSqlTableModel::OnManualSubmit);
    tableView->setModel(model);
    // Without it a grid of one short column leaves most of the page empty.
    tableView->horizontalHeader()->setStretchLastSection(true);
}

void TableAdminFormWidget::hideColumns(const QStringList &names)
{
    for (const QString &name : names)
        tableView->hideColumn(model->fieldIndex(name));
}

void TableAdminFormWidget::setColumnLabel(int column, const QString &label)
{
    model->setHeaderData(column, Qt::Horizontal, label);
}

void TableAdminFormWidget::appendRecord(const QSqlRecord &record)
{
    model->insertRecord(-1, record);
}

void TableAdminFormWidget::removeSelectedRows()
{
    for (int row : selectedRows())
        model->removeRow(row);
}

QList<int> TableAdminFormWidget::selectedRows() const
{
    QList<int> rows;
    const QModelIndexList selected = tableView->selectionModel()->selectedRows();
    for (const QModelIndex &index : selected)
        rows << index.row();
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    return rows;
}
