#include "boolfieldwidget.h"

#include <QCheckBox>

BoolFieldWidget::BoolFieldWidget(QWidget *parent)
    : AbstractFieldWidget(new QCheckBox, parent)
    , control(static_cast<QCheckBox *>(editor))
{
    connect(control, &QCheckBox::stateChanged, this, &AbstractFieldWidget::changed);
}

QVariant BoolFieldWidget::value() const
{
    return control->isChecked();
}

void BoolFieldWidget::setValue(const QVariant &value)
{
    control->setChecked(value.toBool());
}
