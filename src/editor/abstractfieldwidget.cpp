#include "abstractfieldwidget.h"

#include <QVBoxLayout>

AbstractFieldWidget::AbstractFieldWidget(QWidget *editor, QWidget *parent)
    : QWidget(parent)
    , editor(editor)
{
    auto *layout = new QVBoxLayout;
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(editor);
    setLayout(layout);
}

void AbstractFieldWidget::changed()
{
    isChanged = true;
    emit change();
}
