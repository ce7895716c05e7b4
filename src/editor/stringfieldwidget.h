#pragma once

#include "editor/abstractfieldwidget.h"

class QLineEdit;

// A field of one line of text.
class StringFieldWidget : public AbstractFieldWidget
{
    Q_OBJECT
public:
    explicit StringFieldWidget(QWidget *parent = nullptr);

    QVariant value() const override;
    void setValue(const QVariant &value) override;

private:
    QLineEdit *control;
};
