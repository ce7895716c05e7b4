#pragma once

#include <QDialog>
#include <QList>
#include <QSqlRecord>

#include "db/queryrunner.h"

class QSortFilterProxyModel;
class QTimer;
class QueryResultModel;

namespace Ui {
class SqlQueryDialog;
}

// Picks a row from a statement's result, narrowed by a pattern on one column.
class SqlQueryDialog : public QDialog
{
    Q_OBJECT
public:
    explicit SqlQueryDialog(QWidget *parent = nullptr);
    ~SqlQueryDialog() override;

    // Starts the statement; its rows and columns come when it ends.
    void setQuery(const QString &query);
    QList<QSqlRecord> selectedRecords() const;

public slots:
    void setFilter(const QString &filter);

private:
    void showResult(const QueryRunner::Result &result);
    void showRunning();

    Ui::SqlQueryDialog *ui;
    QueryResultModel *model;
    QSortFilterProxyModel *proxy;
    QueryRunner *runner;
    QTimer *ticker; // the running time, while the statement runs
};
