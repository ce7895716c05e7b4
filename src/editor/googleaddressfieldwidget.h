#pragma once

#include "editor/abstractfieldwidget.h"

class GoogleMapModel;
class QCompleter;
class QLineEdit;

// A postal address, completed from the geocoding service while it is typed.
class GoogleAddressFieldWidget : public AbstractFieldWidget
{
    Q_OBJECT
public:
    explicit GoogleAddressFieldWidget(QWidget *parent = nullptr);
    ~GoogleAddressFieldWidget() override;

    // The address as typed.
    QVariant value() const override;
    // Shows the address without asking the service for it.
    void setValue(const QVariant &value) override;

private:
    QLineEdit *control;
    GoogleMapModel *model;
    QCompleter *completer;
};
