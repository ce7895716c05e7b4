#include "statefieldwidget.h"

#include <QToolButton>

StateFieldWidget::StateFieldWidget(QWidget *parent)
    : AbstractFieldWidget(new QToolButton, parent)
    , control(static_cast<QToolButton *>(editor))
{
    states.insert(-1, {QIcon(":16x16/flag_red.png"), tr("error"), -1});
    states.insert(0, {QIcon(":16x16/flag_yellow.png"), tr("todo"), 0});
    states.insert(1, {QIcon(":16x16/flag_green.png"), tr("valid"), 1});
    control->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(control, &QToolButton::clicked, this, &StateFieldWidget::toogle);
}

QVariant StateFieldWidget::value() const
{
    return state;
}

void StateFieldWidget::setValue(const QVariant &value)
{
    // Anything but the three states counts as "todo", so the button never leaves them.
    state = value.toInt();
    if (!states.contains(state))
        state = 0;
    control->setIcon(states.value(state).icon);
    control->setText(states.value(state).name);
}

void StateFieldWidget::toogle()
{
    // After "valid" the round starts again at "error".
    setValue(state == states.lastKey() ? states.firstKey() : state + 1);
}
