#pragma once

#include "forms/abstractformwidget.h"

namespace Ui {
class ProxySettingsWidget;
}

// The network proxy, stored for the next start.
class ProxySettingsWidget : public AbstractFormWidget
{
    Q_OBJECT
public:
    explicit ProxySettingsWidget(QWidget *parent = nullptr);
    ~ProxySettingsWidget() override;

public slots:
    bool save() override;
    bool load() override;

private:
    Ui::ProxySettingsWidget *ui;
};
