#pragma once

#include "forms/abstractformwidget.h"

class ConnectionSettings;

namespace Ui {
class ServerSettingsWidget;
}

// The database connection's parameters, with a test of the values as typed.
class ServerSettingsWidget : public AbstractFormWidget
{
    Q_OBJECT
public:
    explicit ServerSettingsWidget(QWidget *parent = nullptr);
    ~ServerSettingsWidget() override;

public slots:
    bool save() override;
    bool load() override;
    void test();

private:
    ConnectionSettings fields() const;
    Ui::ServerSettingsWidget *ui;
};
