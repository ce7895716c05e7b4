#include "texteditfieldwidget.h"

#include <QTextEdit>

TextEditFieldWidget::TextEditFieldWidget(QWidget *parent)
    : AbstractFieldWidget(new QTextEdit, parent)
    , control(static_cast<QTextEdit *>(editor))
{}

QVariant TextEditFieldWidget::value() const
{
    return control->toPlainText();
}

void TextEditFieldWidget::setValue(const QVariant &value)
{
    control->setPlainText(value.toString());
}
