#pragma once

#include <QStyledItemDelegate>

// The record form's delegate: each row is a field, edited with that field's own editor.
class ExtRecordDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit ExtRecordDelegate(QObject *parent = nullptr);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;
};
