#pragma once

#include "editor/abstractfieldwidget.h"

class QCheckBox;

// A yes-or-no field.
class BoolFieldWidget : public AbstractFieldWidget
{
    Q_OBJECT
public:
    explicit BoolFieldWidget(QWidget *parent = nullptr);

    QVariant value() const override;
    void setValue(const QVariant &value) override;

private:
    QCheckBox *control;
};
