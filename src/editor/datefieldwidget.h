#pragma once

#include "editor/abstractfieldwidget.h"

class QDateEdit;

// A date field with a calendar pop-up.
class DateFieldWidget : public AbstractFieldWidget
{
    Q_OBJECT
public:
    explicit DateFieldWidget(QWidget *parent = nullptr);

    QVariant value() const override;
    void setValue(const QVariant &value) override;

private:
    QDateEdit *control;
};
