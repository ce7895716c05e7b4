#pragma once

#include <QMainWindow>
#include <QSet>
#include <memory>

class ExtHistoryModel;
class ExtRecord;
class ExtRecordEditor;
class ExtXmlModel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class ExtTableView;
class QLabel;
class QProgressBar;
class QComboBox;
class QTableView;
class QTimer;
class QUndoStack;
class ExtDelegate;
class ExtQuestionsWidget;
class ExtStateCommand;
class QMessageBox;

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

    // Asks once what becomes of the unsaved rows of these editors before they are closed or
    // reloaded: true when the caller may go on (nothing unsaved, discarded, or all saved).
    static bool settleUnsaved(const QList<ExtTableEditor *> &editors, QWidget *parent);

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
    void exportReviewCsv();
    void showFields(bool visible);
    void showForm(bool visible);
    bool save();
    void mark();
    void itemClicked(const QModelIndex &index);
    // Shows the rows that hold text and pass the review filter.
    void search(const QString &text);
    // Orders the grid's rows by a view column without moving the model's rows, so that every
    // index still reaches its row's record.
    void sortRows(int column, Qt::SortOrder order);
    // The review state (-1 error, 0 todo, 1 valid) for every selected field of the grid.
    void setSelectedStates(int state);
    void showStates(bool shown);
    // What the shown rows stand at: rows, valid fields, rows with an error, marked rows.
    QString reviewSummary() const;
    // The rows shown, in the grid's order, each field followed by its state, then the row's
    // progress, mark and stamps; a header line first.
    QList<QStringList> reviewTable() const;
    // Signs the selected rows, after asking for the meaning and the password: only rows
    // without pending changes and fully reviewed, all or none.
    void signRows();
    // Withdraws the signature of the selected row, after asking for a reason and the password.
    void withdrawSignature();
    // Says, without blocking, why a signed row refused a change.
    void showRefusal(const QString &reason);

protected:
    void closeEvent(QCloseEvent *event) override;

protected slots:
    void fieldChecked(QListWidgetItem *item);
    void showModelMessage(const QString &message);
    void showProgress(int percent);
    void showGridMenu(const QPoint &position);
    void updateSummary();

private:
    QList<int> selectedRows() const;
    QString tableName() const;
    void showPanel(bool visible, int tab);
    // Long operations: the window is disabled, the progress bar shown.
    void beginWork();
    void endWork();
    void showSaveFailure(int row, const QString &reason);
    // The row's first values, as the grid shows them.
    QString rowSummary(int row) const;
    enum ReviewFilter {
        AllRows,
        RowsWithError,
        RowsNotReviewed,
        RowsMarked,
        RowsChanged,
        RowsWithQuestions
    };
    bool passesFilter(int row) const;
    static bool hasError(const ExtRecord &record);
    // The form's state buttons set their fields themselves; the step is taken down before
    // (on press) so that it can be undone.
    void watchFormButtons();
    // What the filter needs from the trail, once per load.
    void readTrail();
    // The filter's entry is there only while the database keeps what it needs.
    void offerFilter(ReviewFilter filter, const QString &text, bool offered);
    // Who signed each row, with the meaning, and when (UTC); empty for an unsigned row.
    QStringList signedBy(const QList<int> &rows) const;
    QStringList signedAt(const QList<int> &rows) const;
    // The selected rows that may be signed; otherwise, in why, the first that may not.
    QList<int> signableRows(QString *why) const;

    Ui::ExtTableEditor *ui;
    QProgressBar *progressBar;
    // Beside the model's messages, which the status line shows: the outcome of the last save.
    QLabel *savedLabel;
    ExtHistoryModel *historyModel;
    ExtTableView *historyView;
    ExtDelegate *delegate;
    // The review steps of the grid since the last load or save.
    QUndoStack *reviewSteps;
    std::unique_ptr<ExtStateCommand> formStep;
    QLabel *summaryLabel;
    // Many changes in a row make one summary.
    QTimer *summaryTimer;
    QComboBox *reviewFilter;
    // The ids of the rows changed since they were reviewed, as the trail has it.
    QSet<QString> changedRows;
    ExtQuestionsWidget *questionsWidget;
    QAction *signAction;
    QAction *withdrawAction;
    QMessageBox *refusalBox = nullptr;
};
