#include "extdelegate.h"

#include <QApplication>
#include <QStyleOptionProgressBar>

#include "editor/extitemeditorfactory.h"
#include "editor/extrecordmodel.h"
#include "model/extrecord.h"

ExtDelegate::ExtDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{}

// The view column less the leading columns that are no field of the record.
int ExtDelegate::fieldIndex(const QModelIndex &index)
{
    const ExtRecord *record = ExtRecordModel::rowRecord(index);
    return index.column() - (index.model()->columnCount() - record->count());
}

void ExtDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                        const QModelIndex &index) const
{
    const ExtRecord *record = ExtRecordModel::rowRecord(index);
    if (index.column() != 1 || !record) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionProgressBar bar;
    bar.rect = option.rect;
    bar.minimum = 0;
    bar.maximum = 100;
    bar.progress = record->progress();
    bar.textVisible = false;
    bar.state = option.state | QStyle::State_Horizontal;
    QApplication::style()->drawControl(QStyle::CE_ProgressBar, &bar, painter);
}

QWidget *ExtDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                   const QModelIndex &index) const
{
    ExtRecord *record = ExtRecordModel::rowRecord(index);
    if (!record)
        return nullptr;
    return ExtItemEditorFactory(record).createEditor(fieldIndex(index), parent);
}

void ExtDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    ExtRecord *record = ExtRecordModel::rowRecord(index);
    if (!record)
        return;
    const int field = fieldIndex(index);
    editor->setProperty(ExtItemEditorFactory(record).valuePropertyName(field),
                        record->value(field));
}

void ExtDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                               const QModelIndex &index) const
{
    ExtRecord *record = ExtRecordModel::rowRecord(index);
    if (!record)
        return;
    QVariant value;
    if (ExtItemEditorFactory(record).take(editor, fieldIndex(index), &value))
        model->setData(index, value, Qt::EditRole);
}
