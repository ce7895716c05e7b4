#pragma once

#include <QItemEditorFactory>

class ExtRecord;

// Chooses a field's editor by its index in the record: a relation combo box for a complete
// relation, otherwise the toolkit's editor for the value's type.
class ExtItemEditorFactory : public QItemEditorFactory
{
public:
    explicit ExtItemEditorFactory(ExtRecord *record);

    QWidget *createEditor(int fieldIndex, QWidget *parent) const;
    QByteArray valuePropertyName(int fieldIndex) const;

private:
    int valueType(int fieldIndex) const;

    ExtRecord *record;
};
