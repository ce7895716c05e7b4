#pragma once

#include <QMainWindow>

#include "db/queryrunner.h"

class QTimer;
class QueryResultModel;

namespace Ui {
class QueryEditor;
}

// One SQL statement, its result or the server's error, and saving it for a group.
class QueryEditor : public QMainWindow
{
    Q_OBJECT
public:
    explicit QueryEditor(const QString &query, QWidget *parent = nullptr);
    ~QueryEditor() override;

    // Puts a statement in front of the user without running it.
    void edit(const QString &query);

public slots:
    void run();
    // Stops the running statement on the server.
    void cancel();
    void clear();
    void save();
    void setAction(bool enable);
    void exportCsv();
    void exportPdf();

signals:
    // A statement was stored under a name: the lists of saved queries are out of date.
    void saved();

protected:
    // A running statement is stopped, once the user agrees.
    void closeEvent(QCloseEvent *event) override;

protected slots:
    void queryChanged();

private:
    void showResult(const QueryRunner::Result &result);
    void showRunning();

    Ui::QueryEditor *ui;
    QueryResultModel *model;
    QueryRunner *runner;
    QTimer *ticker; // the running time, while a statement runs
    QString ranText;
    // The run that opening the editor starts leaves the editor as it opened.
    bool initialRun = false;
};
