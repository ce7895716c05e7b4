#include "admintablemodel.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>

#include "db/sqlhelper.h"

AdminTableModel::AdminTableModel(QObject *parent)
    : QSqlRelationalTableModel(parent)
{}

void AdminTableModel::setTable(const QString &tableName)
{
    QSqlRelationalTableModel::setTable(tableName);
    // Before any relation renames a column.
    columns = record();
}

void AdminTableModel::setRequiredColumn(int column, const QString &message)
{
    requiredColumn = column;
    requiredMessage = message;
}

QString AdminTableModel::errorText() const
{
    const QSqlError error = lastError();
    QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    if (SqlHelper::noteLostConnection(error))
        text += tr("; the connection to the server was lost, and is opened again at the next "
                   "Apply.");
    return text;
}

bool AdminTableModel::hasRequiredValue(const QSqlRecord &values, bool newRow)
{
    // An update only sends the columns that changed; a new row must always carry the value.
    if (requiredColumn < 0 || (!newRow && !values.isGenerated(requiredColumn)) ||
        !values.value(requiredColumn).toString().trimmed().isEmpty())
        return true;
    setLastError(QSqlError(QString(), requiredMessage, QSqlError::StatementError));
    return false;
}

QSqlRecord AdminTableModel::tableRecord(const QSqlRecord &values) const
{
    QSqlRecord record = values;
    for (int i = 0; i < record.count() && i < columns.count(); ++i) {
        if (!relation(i).isValid())
            continue;
        const QVariant value = record.value(i);
        const bool generated = record.isGenerated(i);
        record.replace(i, columns.field(i));
        record.setValue(i, value);
        record.setGenerated(i, generated);
    }
    return record;
}

bool AdminTableModel::reported(bool ok, const QSqlError &error)
{
    if (!ok)
        setLastError(error);
    return ok;
}

bool AdminTableModel::insertRowIntoTable(const QSqlRecord &values)
{
    QSqlRecord record = tableRecord(values);
    // A column left open is not sent at all, so the server gives its defaults instead of
    // refusing NULL for a NOT NULL column. The id is the helper's to give: the server's
    // counter, or the largest plus one.
    for (int i = 0; i < record.count(); ++i) {
        if (record.isNull(i) && record.fieldName(i) != "id")
            record.setGenerated(i, false);
    }
    if (!hasRequiredValue(record, true))
        return false;
    QSqlError error;
    return reported(SqlHelper::insert(tableName(), record, &error), error);
}

bool AdminTableModel::updateRowInTable(int row, const QSqlRecord &values)
{
    if (!hasRequiredValue(values, false))
        return false;
    QSqlError error;
    return reported(
        SqlHelper::updateChanged(tableName(), tableRecord(values), primaryValues(row), &error),
        error);
}

bool AdminTableModel::deleteRowFromTable(int row)
{
    QSqlError error;
    return reported(SqlHelper::remove(tableName(), primaryValues(row).value("id"), &error), error);
}
