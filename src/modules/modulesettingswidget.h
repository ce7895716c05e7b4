#pragma once

#include <QList>

#include "forms/abstractformwidget.h"

class ModuleInterface;

namespace Ui {
class ModuleSettingsWidget;
}

// The installed modules, each of which can be switched off, and the way to fetch new ones.
class ModuleSettingsWidget : public AbstractFormWidget
{
    Q_OBJECT
public:
    explicit ModuleSettingsWidget(QWidget *parent = nullptr);
    ~ModuleSettingsWidget() override;

public slots:
    bool save() override;
    bool load() override;
    void loadModules();
    void getNewModules();

private:
    Ui::ModuleSettingsWidget *ui;
    QList<ModuleInterface *> modules;
};
