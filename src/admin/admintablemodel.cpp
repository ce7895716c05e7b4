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

bool AdminTableModel::write(QSqlDriver::StatementType type, const QSqlRecord &values,
                            const QSqlRecord &key)
{
    QSqlError error;
    if (SqlHelper::writeRow(type, tableName(), values, key, &error))
        return true;
    setLastError(error);
    return false;
}

bool AdminTableModel::insertRowIntoTable(const QSqlRecord &values)
{
    QSqlRecord record = tableRecord(values);
    // Without a server counter the id is the largest plus one, as the helper hands them out.
    const int id = record.indexOf("id");
    if (id >= 0 && record.isNull(id) && !record.field(id).isAutoValue()) {
        QSqlError error;
        const int largest = SqlHelper::lastId(tableName(), &error);
        if (error.isValid()) {
            setLastError(error);
            return false;
        }
        record.setValue(id, largest + 1);
    }
    // A column left open is not sent at all, so the server gives the id (AUTO_INCREMENT) and
    // its defaults instead of refusing NULL for a NOT NULL column.
    for (int i = 0; i < record.count(); ++i) {
        if (record.isNull(i))
            record.setGenerated(i, false);
    }
    return hasRequiredValue(record, true) && write(QSqlDriver::InsertStatement, record, {});
}

bool AdminTableModel::updateRowInTable(int row, const QSqlRecord &values)
{
    return hasRequiredValue(values, false) &&
           write(QSqlDriver::UpdateStatement, tableRecord(values), primaryValues(row));
}

bool AdminTableModel::deleteRowFromTable(int row)
{
    return write(QSqlDriver::DeleteStatement, {}, primaryValues(row));
}
