#include "extitemeditorfactory.h"

#include <QDateEdit>
#include <QDebug>
#include <QSqlField>

#include "editor/relationcombobox.h"
#include "model/extrecord.h"

ExtItemEditorFactory::ExtItemEditorFactory(ExtRecord *record)
    : record(record)
{
}

// A null value still has its column's type.
int ExtItemEditorFactory::valueType(int fieldIndex) const
{
    const QVariant value = record->value(fieldIndex);
    if (value.isValid())
        return value.metaType().id();
    return record->field(fieldIndex).metaType().id();
}

QWidget *ExtItemEditorFactory::createEditor(int fieldIndex, QWidget *parent) const
{
    const QSqlRelation relation = record->relation(fieldIndex);
    if (ExtRecord::isComplete(relation))
        return new RelationComboBox(relation, parent);
    QWidget *editor = QItemEditorFactory::defaultFactory()->createEditor(valueType(fieldIndex),
                                                                          parent);
    if (!editor)
        return nullptr;
    qDebug() << editor->metaObject()->className();
    if (QByteArray(editor->metaObject()->className()) == "QDateEdit")
        static_cast<QDateEdit *>(editor)->setCalendarPopup(true);
    return editor;
}

QByteArray ExtItemEditorFactory::valuePropertyName(int fieldIndex) const
{
    if (ExtRecord::isComplete(record->relation(fieldIndex)))
        return "currentKey";
    return QItemEditorFactory::defaultFactory()->valuePropertyName(valueType(fieldIndex));
}
