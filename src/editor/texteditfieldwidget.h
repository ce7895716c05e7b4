#pragma once

#include "editor/abstractfieldwidget.h"

class QTextEdit;

// A field of several lines of plain text.
class TextEditFieldWidget : public AbstractFieldWidget
{
    Q_OBJECT
public:
    explicit TextEditFieldWidget(QWidget *parent = nullptr);

    QVariant value() const override;
    void setValue(const QVariant &value) override;

private:
    QTextEdit *control;
};
