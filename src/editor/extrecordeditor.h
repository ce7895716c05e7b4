#pragma once

#include <QWidget>

class ExtModel;
class ExtRecordModel;

namespace Ui {
class ExtRecordEditor;
}

// The form of the clicked row, with the three buttons that set the selected fields' state, the
// row's signature, and a question on the selected field.
class ExtRecordEditor : public QWidget
{
    Q_OBJECT
public:
    explicit ExtRecordEditor(ExtModel *model, QWidget *parent = nullptr);
    ~ExtRecordEditor() override;

    ExtRecordModel *recordModel;

public slots:
    // Asks the question on the selected field of the form's row, written at once.
    void ask();

protected slots:
    void setStates();
    // The signer and time of the row shown, and whether a question can be asked on it.
    void showReview();

private:
    Ui::ExtRecordEditor *ui;
    ExtModel *tableModel;
};
