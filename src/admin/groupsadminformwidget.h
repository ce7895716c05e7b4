#pragma once

#include "admin/tableadminformwidget.h"

namespace Ui {
class GroupsAdminFormWidget;
}

// The user groups.
class GroupsAdminFormWidget : public TableAdminFormWidget
{
    Q_OBJECT
public:
    explicit GroupsAdminFormWidget(QWidget *parent = nullptr);
    ~GroupsAdminFormWidget() override;

public slots:
    void addGroup();
    void delGroup();

private:
    Ui::GroupsAdminFormWidget *ui;
};
