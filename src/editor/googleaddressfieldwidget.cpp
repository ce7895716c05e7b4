#include "googleaddressfieldwidget.h"

#include <QCompleter>
#include <QLineEdit>
#include <QSignalBlocker>

#include "editor/googlemapmodel.h"

GoogleAddressFieldWidget::GoogleAddressFieldWidget(QWidget *parent)
    : AbstractFieldWidget(new QLineEdit, parent)
    , control(static_cast<QLineEdit *>(editor))
    , model(new GoogleMapModel(this))
    , completer(new QCompleter)
{
    completer->setModel(model);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    control->setCompleter(completer);
    completer->setCompletionColumn(0);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    completer->setCompletionRole(Qt::DisplayRole);
    completer->setMaxVisibleItems(10);
    connect(control, &QLineEdit::textChanged, model, &GoogleMapModel::search);
    connect(model, &GoogleMapModel::layoutChanged, completer, [this] { completer->complete(); });
    connect(model, &GoogleMapModel::failed, control, &QWidget::setToolTip);
}

GoogleAddressFieldWidget::~GoogleAddressFieldWidget()
{
    delete completer;
}

QVariant GoogleAddressFieldWidget::value() const
{
    return control->text();
}

void GoogleAddressFieldWidget::setValue(const QVariant &value)
{
    // A stored address is shown as it is: no request, no completion pop-up.
    const QSignalBlocker blocker(control);
    control->setText(value.toString());
}
