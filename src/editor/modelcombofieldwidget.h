#pragma once

#include "editor/abstractfieldwidget.h"

class QComboBox;

// A choice among the rows of a table: shows one column, keeps the row's id as the value.
class ModelComboFieldWidget : public AbstractFieldWidget
{
    Q_OBJECT
public:
    ModelComboFieldWidget(const QString &table, const QString &displayColumn,
                          QWidget *parent = nullptr);

    QVariant value() const override;
    void setValue(const QVariant &value) override;

private:
    QComboBox *control;
};
