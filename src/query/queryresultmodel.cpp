#include "queryresultmodel.h"

void QueryResultModel::setResult(const QSqlRecord &columns, const QList<QVariantList> &rows)
{
    beginResetModel();
    this->columns = columns;
    this->columns.clearValues();
    this->rows = rows;
    endResetModel();
}

void QueryResultModel::clear()
{
    setResult(QSqlRecord(), {});
}

QSqlRecord QueryResultModel::record(int row) const
{
    QSqlRecord values = columns;
    const QVariantList cells = rows.value(row);
    for (int column = 0; column < cells.size(); ++column)
        values.setValue(column, cells.at(column));
    return values;
}

int QueryResultModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows.size();
}

int QueryResultModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns.count();
}

QVariant QueryResultModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    return rows.value(index.row()).value(index.column());
}

QVariant QueryResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < columns.count())
        return columns.fieldName(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}
