#include "stringfieldwidget.h"

#include <QLineEdit>

StringFieldWidget::StringFieldWidget(QWidget *parent)
    : AbstractFieldWidget(new QLineEdit, parent)
    , control(static_cast<QLineEdit *>(editor))
{
    control->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    connect(control, &QLineEdit::textChanged, this, &AbstractFieldWidget::changed);
}

QVariant StringFieldWidget::value() const
{
    return control->text();
}

void StringFieldWidget::setValue(const QVariant &value)
{
    control->setText(value.toString());
}
