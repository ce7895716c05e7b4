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
    // Shows the chosen group's memberships once this page's pending ones are settled; else the
    // chooser goes back to the group shown.
    void chooseGroup();

protected:
    // Groups and users saved on the other pages since the last look are offered here too.
    void showEvent(QShowEvent *event) override;

private:
    void fillGroups();
    // Reading the memberships again drops what was not applied: asks whether to apply it first,
    // drop it, or keep it and not read. True when the page may read again.
    bool settlePending();

    Ui::AuthsAdminFormWidget *ui;
    QVariant shownGroup;
};
