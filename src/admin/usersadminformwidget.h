#pragma once

#include "admin/tableadminformwidget.h"

namespace Ui {
class UsersAdminFormWidget;
}

// The user accounts, with their passwords set as digests.
class UsersAdminFormWidget : public TableAdminFormWidget
{
    Q_OBJECT
public:
    explicit UsersAdminFormWidget(QWidget *parent = nullptr);
    ~UsersAdminFormWidget() override;

public slots:
    void addUser();
    void delUser();
    void setPass();

private:
    Ui::UsersAdminFormWidget *ui;
};
