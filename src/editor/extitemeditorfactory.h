#pragma once

#include <QCoreApplication>
#include <QItemEditorFactory>

class ExtRecord;

// Chooses a field's editor by its index in the record: a relation combo box for a complete
// relation, a choice of values for an enumeration, a date that may stay empty for a date,
// free text checked against the column for text and numbers, otherwise the toolkit's editor
// for the value's type.
class ExtItemEditorFactory : public QItemEditorFactory
{
    Q_DECLARE_TR_FUNCTIONS(ExtItemEditorFactory)
public:
    explicit ExtItemEditorFactory(ExtRecord *record);

    QWidget *createEditor(int fieldIndex, QWidget *parent) const;
    QByteArray valuePropertyName(int fieldIndex) const;
    // The editor's value as the column stores it, in *value. False when it is the field's
    // value already, or when the column cannot hold it: the reason is then shown beside the
    // editor and the field keeps its value.
    bool take(QWidget *editor, int fieldIndex, QVariant *value) const;

private:
    int valueType(int fieldIndex) const;
    bool isDate(int fieldIndex) const;

    ExtRecord *record;
};
