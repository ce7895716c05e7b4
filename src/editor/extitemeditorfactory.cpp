#include "extitemeditorfactory.h"

#include <QComboBox>
#include <QDebug>
#include <QLineEdit>
#include <QSqlField>
#include <QTimer>
#include <QToolTip>

#include "core/logcategories.h"
#include "editor/nullabledateedit.h"
#include "editor/relationcombobox.h"
#include "model/extrecord.h"

namespace {
bool isEmpty(const QVariant &value)
{
    return value.isNull() || (value.typeId() == QMetaType::QString && value.toString().isEmpty());
}
} // namespace

ExtItemEditorFactory::ExtItemEditorFactory(ExtRecord *record)
    : record(record)
{}

// A null value still has its column's type.
int ExtItemEditorFactory::valueType(int fieldIndex) const
{
    const QVariant value = record->value(fieldIndex);
    if (value.isValid())
        return value.metaType().id();
    return record->field(fieldIndex).metaType().id();
}

bool ExtItemEditorFactory::isDate(int fieldIndex) const
{
    const int type = valueType(fieldIndex);
    return type == QMetaType::QDate || type == QMetaType::QDateTime;
}

QWidget *ExtItemEditorFactory::createEditor(int fieldIndex, QWidget *parent) const
{
    const QSqlRelation relation = record->relation(fieldIndex);
    if (ExtRecord::isComplete(relation))
        return new RelationComboBox(relation, parent);
    const ColumnLimit limit = record->limit(fieldIndex);
    QWidget *editor = nullptr;
    if (limit.kind == ColumnLimit::Enumeration) {
        auto *choice = new QComboBox(parent);
        if (limit.nullable)
            choice->addItem(QString());
        choice->addItems(limit.values);
        editor = choice;
    } else if (isDate(fieldIndex)) {
        editor = new NullableDateEdit(valueType(fieldIndex) == QMetaType::QDateTime, parent);
    } else if (limit.kind != ColumnLimit::Any) {
        // Empty text is no value: a number editor cannot show one, and would store 0.
        auto *line = new QLineEdit(parent);
        if (limit.isNumber())
            line->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        editor = line;
    } else {
        editor = QItemEditorFactory::defaultFactory()->createEditor(valueType(fieldIndex), parent);
    }
    if (editor)
        qCDebug(lcApp) << editor->metaObject()->className();
    return editor;
}

QByteArray ExtItemEditorFactory::valuePropertyName(int fieldIndex) const
{
    if (ExtRecord::isComplete(record->relation(fieldIndex)))
        return "currentKey";
    const ColumnLimit::Kind kind = record->limit(fieldIndex).kind;
    if (kind == ColumnLimit::Enumeration)
        return "currentText";
    if (isDate(fieldIndex))
        return "date";
    if (kind != ColumnLimit::Any)
        return "text";
    return QItemEditorFactory::defaultFactory()->valuePropertyName(valueType(fieldIndex));
}

bool ExtItemEditorFactory::take(QWidget *editor, int fieldIndex, QVariant *value) const
{
    QString refusal;
    if (const auto *dates = qobject_cast<NullableDateEdit *>(editor))
        refusal = dates->problem();
    if (refusal.isEmpty())
        *value = record->limit(fieldIndex)
                     .take(editor->property(valuePropertyName(fieldIndex)), &refusal);
    if (!refusal.isEmpty()) {
        const QString text = record->label(fieldIndex) + ": " + refusal;
        QWidget *view = editor->parentWidget();
        const QPoint below = editor->mapToGlobal(QPoint(0, editor->height()));
        // Once the editor has closed: the focus going back to the view hides a tip at once.
        QTimer::singleShot(0, view, [below, text, view] { QToolTip::showText(below, text, view); });
        return false;
    }
    const QVariant old = record->value(fieldIndex);
    return isEmpty(*value) ? !isEmpty(old) : *value != old || old.isNull();
}
