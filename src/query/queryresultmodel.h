#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QSqlRecord>
#include <QVariantList>

// The rows a statement returned, fetched in full by QueryRunner, with the column names as
// headers.
class QueryResultModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setResult(const QSqlRecord &columns, const QList<QVariantList> &rows);
    void clear();
    // The row's values under the column names.
    QSqlRecord record(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QSqlRecord columns;
    QList<QVariantList> rows;
};
