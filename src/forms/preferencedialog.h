#pragma once

#include "forms/groupformwidget.h"

// The workstation's own settings: server, proxy and style.
class PreferenceDialog : public GroupFormWidget
{
    Q_OBJECT
public:
    explicit PreferenceDialog(QWidget *parent = nullptr);
};
