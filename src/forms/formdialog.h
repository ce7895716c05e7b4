#pragma once

#include <QDialog>

class AbstractFormWidget;

namespace Ui {
class FormDialog;
}

// A dialog around one page: "Save" saves and closes, "Apply" only saves, "Default" reloads.
class FormDialog : public QDialog
{
    Q_OBJECT
public:
    FormDialog(AbstractFormWidget *page, QWidget *parent = nullptr);
    ~FormDialog() override;

private:
    bool savePage();

    Ui::FormDialog *ui;
    AbstractFormWidget *page;
};
