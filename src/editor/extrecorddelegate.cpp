#include "extrecorddelegate.h"

#include "editor/extitemeditorfactory.h"
#include "editor/extrecordmodel.h"

namespace {

ExtRecordModel *formModel(const QAbstractItemModel *model)
{
    return qobject_cast<ExtRecordModel *>(const_cast<QAbstractItemModel *>(model));
}

} // namespace

ExtRecordDelegate::ExtRecordDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{}

QWidget *ExtRecordDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &,
                                         const QModelIndex &index) const
{
    ExtRecordModel *model = formModel(index.model());
    if (!model)
        return nullptr;
    ExtRecord record = model->record();
    return ExtItemEditorFactory(&record).createEditor(index.row(), parent);
}

void ExtRecordDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    ExtRecordModel *model = formModel(index.model());
    if (!model)
        return;
    ExtRecord record = model->record();
    editor->setProperty(ExtItemEditorFactory(&record).valuePropertyName(index.row()),
                        record.value(index.row()));
}

void ExtRecordDelegate::setModelData(QWidget *editor, QAbstractItemModel *model,
                                     const QModelIndex &index) const
{
    ExtRecordModel *form = formModel(model);
    if (!form)
        return;
    ExtRecord record = form->record();
    QVariant value;
    if (ExtItemEditorFactory(&record).take(editor, index.row(), &value))
        model->setData(index, value, Qt::EditRole);
}
