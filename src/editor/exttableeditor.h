#pragma once

#include <QMainWindow>

class ExtHistoryModel;
class ExtRecordEditor;
class ExtXmlModel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QTableView;

namespace Ui {
class ExtTableEditor;
}

// One table of the shared database, opened through its schema file: browse, edit, review,
// mark, save, export and print.
class ExtTableEditor : public QMainWindow
{
    Q_OBJECT
public:
    explicit ExtTableEditor(const QString &schemaFile, QWidget *parent = nullptr);
    ~ExtTableEditor() override;

    ExtXmlModel *model;
    ExtRecordEditor *recordEditor;
    QListWidget *fieldList;
    QLineEdit *searchEdit;

public slots:
    void refresh();
    void add();
    void rem();
    void print();
    void exportCsv();
    void showFields(bool visible);
    void showForm(bool visible);
    void save();
    void mark();
    void itemClicked(const QModelIndex &index);
    void search(const QString &text);

protected slots:
    void fieldChecked(QListWidgetItem *item);
    void showModelMessage(const QString &message);
    void showProgress(int percent);

private:
    QList<int> selectedRows() const;
    void showPanel(bool visible, int tab);
    // Long operations: the window is disabled, the progress bar shown.
    void beginWork();
    void endWork();

    Ui::ExtTableEditor *ui;
    QProgressBar *progressBar;
    ExtHistoryModel *historyModel;
    QTableView *historyView;
    bool trailNoticeShown = false;
};
