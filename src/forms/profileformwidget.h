#pragma once

#include "forms/abstractformwidget.h"

namespace Ui {
class ProfileFormWidget;
}

// The logged-in user's own row of `users`: names, e-mail and a new password.
class ProfileFormWidget : public AbstractFormWidget
{
    Q_OBJECT
public:
    explicit ProfileFormWidget(QWidget *parent = nullptr);
    ~ProfileFormWidget() override;

    QString errorString() const override { return error; }

public slots:
    bool save() override;
    bool load() override;

private:
    Ui::ProfileFormWidget *ui;
    QString error;
};
