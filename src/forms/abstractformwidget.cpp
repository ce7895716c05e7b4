#include "abstractformwidget.h"

AbstractFormWidget::AbstractFormWidget(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}
