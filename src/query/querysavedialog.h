#pragma once

#include <QDialog>

namespace Ui {
class QuerySaveDialog;
}

// Asks for the name and the group under which a statement is saved.
class QuerySaveDialog : public QDialog
{
    Q_OBJECT
public:
    explicit QuerySaveDialog(QWidget *parent = nullptr);
    ~QuerySaveDialog() override;

    int groupId() const;
    QString name() const;

private:
    Ui::QuerySaveDialog *ui;
};
