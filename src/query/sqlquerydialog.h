#pragma once

#include <QDialog>
#include <QList>
#include <QSqlRecord>

class QSortFilterProxyModel;
class QSqlQueryModel;

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

    void setQuery(const QString &query);
    QList<QSqlRecord> selectedRecords() const;

public slots:
    void setFilter(const QString &filter);

private:
    Ui::SqlQueryDialog *ui;
    QSqlQueryModel *model;
    QSortFilterProxyModel *proxy;
};
