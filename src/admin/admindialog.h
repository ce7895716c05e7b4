#pragma once

#include "forms/groupformwidget.h"

// Users, groups and memberships of the shared database.
class AdminDialog : public GroupFormWidget
{
    Q_OBJECT
public:
    explicit AdminDialog(QWidget *parent = nullptr);
};
