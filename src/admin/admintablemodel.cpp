#include "admintablemodel.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>

#include "db/sqlhelper.h"

AdminTableModel::AdminTableModel(QObject *parent)
    : QSqlRelationalTableModel(parent)
{}

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

bool AdminTableModel::insertRowIntoTable(const QSqlRecord &values)
{
    QSqlRecord record = values;
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
    if (!hasRequiredValue(record, true))
        return false;
    return QSqlRelationalTableModel::insertRowIntoTable(record);
}

bool AdminTableModel::updateRowInTable(int row, const QSqlRecord &values)
{
    if (!hasRequiredValue(values, false))
        return false;
    return QSqlRelationalTableModel::updateRowInTable(row, values);
}
