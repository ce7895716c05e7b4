#pragma once

#include <QWidget>

class ExtModel;
class ExtRecordModel;

namespace Ui {
class ExtRecordEditor;
}

// The form of the clicked row, with the three buttons that set the selected fields' state.
class ExtRecordEditor : public QWidget
{
    Q_OBJECT
public:
    explicit ExtRecordEditor(ExtModel *model, QWidget *parent = nullptr);
    ~ExtRecordEditor() override;

    ExtRecordModel *recordModel;

protected slots:
    void setStates();

private:
    Ui::ExtRecordEditor *ui;
};
