#pragma once

#include <QDialog>

namespace Ui {
class AboutStavimorDialog;
}

// Names the application, its version and where it runs from.
class AboutStavimorDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutStavimorDialog(QWidget *parent = nullptr);
    ~AboutStavimorDialog() override;

private:
    Ui::AboutStavimorDialog *ui;
};
