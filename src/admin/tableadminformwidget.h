#pragma once

#include "forms/abstractformwidget.h"

class AdminTableModel;
class QSqlRecord;
class QTableView;

// An administration page: one table of the shared database in a grid whose edits are written
// on save.
class TableAdminFormWidget : public AbstractFormWidget
{
    Q_OBJECT
public:
    explicit TableAdminFormWidget(QWidget *parent = nullptr);
    ~TableAdminFormWidget() override;

    QString errorString() const override;

public slots:
    bool save() override;
    bool load() override;

protected:
    // Puts table into the model, the model into view, with edits held until save.
    void setUpModel(QTableView *view, const QString &table);
    void hideColumns(const QStringList &names);
    // Headers in words instead of column names.
    void setColumnLabel(int column, const QString &label);
    void appendRecord(const QSqlRecord &record);
    // Marks the selected rows for removal on the next save.
    void removeSelectedRows();
    // The rows selected in the grid, last row first, so that removing one leaves the row
    // numbers of the others as they were.
    QList<int> selectedRows() const;

    AdminTableModel *model;
    QTableView *tableView = nullptr;
};
