#pragma once

#include <QSqlRecord>
#include <QSqlRelationalTableModel>

// A grid's model that lets the server choose what the grid leaves open, refuses rows whose
// required column is empty, and writes its rows through SqlHelper, with the values in the
// statements, so that edits kept after a lost connection are written once it is opened again.
class AdminTableModel : public QSqlRelationalTableModel
{
    Q_OBJECT
public:
    explicit AdminTableModel(QObject *parent = nullptr);

    void setTable(const QString &tableName) override;

    // Rows whose value in column is empty are not written; message says why.
    void setRequiredColumn(int column, const QString &message);

    // The reason of the last failed write or read, as the user should read it.
    QString errorText() const;

protected:
    bool insertRowIntoTable(const QSqlRecord &values) override;
    bool updateRowInTable(int row, const QSqlRecord &values) override;
    bool deleteRowFromTable(int row) override;

private:
    bool hasRequiredValue(const QSqlRecord &values, bool newRow);
    // The values under the table's own column names: a relation's column is named after the
    // related table's display column.
    QSqlRecord tableRecord(const QSqlRecord &values) const;
    // ok, after noting the error as the model's last one when it is false.
    bool reported(bool ok, const QSqlError &error);

    QSqlRecord columns;

    int requiredColumn = -1;
    QString requiredMessage;
};
