#pragma once

#include <QStyledItemDelegate>

// The table view's delegate: each field's own editor, and the progress column as a bar.
class ExtDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit ExtDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model,
                      const QModelIndex &index) const override;

private:
    static int fieldIndex(const QModelIndex &index);
};
