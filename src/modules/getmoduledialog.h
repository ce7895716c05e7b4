#pragma once

#include <QDialog>

class QNetworkAccessManager;

namespace Ui {
class GetModuleDialog;
}

// The organisation's module catalogue: pick an entry and it is downloaded into the modules
// folder.
class GetModuleDialog : public QDialog
{
    Q_OBJECT
public:
    explicit GetModuleDialog(QWidget *parent = nullptr);
    ~GetModuleDialog() override;

public slots:
    void downloadXml();
    void parseXml();
    void downloadPlugin();

private:
    Ui::GetModuleDialog *ui;
    QNetworkAccessManager *manager;
};
