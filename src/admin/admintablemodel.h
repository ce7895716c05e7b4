#pragma once

#include <QSqlRelationalTableModel>

// A grid's model that lets the server choose what the grid leaves open and refuses rows whose
// required column is empty.
class AdminTableModel : public QSqlRelationalTableModel
{
    Q_OBJECT
public:
    explicit AdminTableModel(QObject *parent = nullptr);

    // Rows whose value in column is empty are not written; message says why.
    void setRequiredColumn(int column, const QString &message);

    // The reason of the last failed write or read, as the user should read it.
    QString errorText() const;

protected:
    bool insertRowIntoTable(const QSqlRecord &values) override;
    bool updateRowInTable(int row, const QSqlRecord &values) override;

private:
    bool hasRequiredValue(const QSqlRecord &values, bool newRow);

    int requiredColumn = -1;
    QString requiredMessage;
};
