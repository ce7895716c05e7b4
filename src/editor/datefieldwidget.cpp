#include "datefieldwidget.h"

#include <QDateEdit>

DateFieldWidget::DateFieldWidget(QWidget *parent)
    : AbstractFieldWidget(new QDateEdit, parent)
    , control(static_cast<QDateEdit *>(editor))
{
    control->setCalendarPopup(true);
    connect(control, &QDateEdit::dateChanged, this, &AbstractFieldWidget::changed);
}

QVariant DateFieldWidget::value() const
{
    return control->date();
}

void DateFieldWidget::setValue(const QVariant &value)
{
    control->setDate(value.toDate());
}
