#pragma once

#include "admin/tableadminformwidget.h"

namespace Ui {
class AuthsAdminFormWidget;
}

// The members of one group at a time, chosen from the user names.
class AuthsAdminFormWidget : public TableAdminFormWidget
{
    Q_OBJECT
public:
    explicit AuthsAdminFormWidget(QWidget *parent = nullptr);
    ~AuthsAdminFormWidget() override;

public slots:
    bool load() override;
    void addAuth();
    void delAuth();

protected slots:
    void setGroupFilter();

protected:
    // Groups and users saved on the other pages since the last look are offered here too.
    void showEvent(QShowEvent *event) override;

private:
    void fillGroups();

    Ui::AuthsAdminFormWidget *ui;
};
