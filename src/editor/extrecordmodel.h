#pragma once

#include <QAbstractTableModel>

#include "model/extrecord.h"

class ExtModel;

// The form of one row of a table model: a label and a value per field, tinted by the field's
// review state. Every change is written straight through to the table model's row.
class ExtRecordModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit ExtRecordModel(ExtModel *tableModel, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    // The row record a table model index carries, or none.
    static ExtRecord *rowRecord(const QModelIndex &index);
    // The table model's row shown; negative before one is chosen.
    int row() const { return currentRow; }

public slots:
    void setRecord(const ExtRecord &record);
    void setRecordFromIndex(const QModelIndex &index);
    ExtRecord &record();
    void setState(int row, int state);
    int state(int row);

private:
    ExtModel *tableModel;
    ExtRecord current;
    // No row is chosen yet: the table model rejects a negative row.
    int currentRow = -1;
};
