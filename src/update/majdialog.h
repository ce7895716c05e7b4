#pragma once

#include <QDialog>
#include <QUrl>

class QNetworkAccessManager;

namespace Ui {
class MAJDialog;
}

// Asks the organisation's server whether a newer release is published and offers its address.
class MAJDialog : public QDialog
{
    Q_OBJECT
public:
    explicit MAJDialog(QWidget *parent = nullptr);
    ~MAJDialog() override;

protected slots:
    void load();
    void parse();
    void downloadApp();

private:
    Ui::MAJDialog *ui;
    QNetworkAccessManager *manager;
    QUrl appUrl;
};
