#pragma once

#include "forms/abstractformwidget.h"

namespace Ui {
class StyleSettingsWidget;
}

// The widget style, put into effect as soon as it is chosen or loaded.
class StyleSettingsWidget : public AbstractFormWidget
{
    Q_OBJECT
public:
    explicit StyleSettingsWidget(QWidget *parent = nullptr);
    ~StyleSettingsWidget() override;

public slots:
    bool load() override;
    bool save() override;
    void styleChanged();

private:
    Ui::StyleSettingsWidget *ui;
};
