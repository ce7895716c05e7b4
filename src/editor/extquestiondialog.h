#pragma once

#include <QDialog>

namespace Ui {
class ExtQuestionDialog;
}

// Asks for the text of a question on one field of a row; Ok only with some text.
class ExtQuestionDialog : public QDialog
{
    Q_OBJECT
public:
    ExtQuestionDialog(const QString &field, const QString &row, QWidget *parent = nullptr);
    ~ExtQuestionDialog() override;

    QString text() const;

private:
    Ui::ExtQuestionDialog *ui;
};
