#include "extfailurereason.h"

#include <QRegularExpression>

#include "model/columnlimit.h"
#include "model/extrecord.h"

namespace {
// The column a refusal names: 'code' in most texts, `db`.`table`.`code` in the newer ones, and
// the key's column for a foreign key.
QString namedColumn(const QString &text)
{
    static const QRegularExpression patterns[] = {
        QRegularExpression("[Cc]olumn '([^']+)'"),
        QRegularExpression("column (?:`[^`]*`\\.)*`([^`]+)`"),
        QRegularExpression("FOREIGN KEY \\(`([^`]+)`\\)"),
    };
    for (const QRegularExpression &pattern : patterns) {
        const QRegularExpressionMatch match = pattern.match(text);
        if (match.hasMatch())
            return match.captured(1);
    }
    return QString();
}

QString shortened(const QString &value)
{
    return value.size() > 40 ? value.left(37) + "..." : value;
}

} // namespace

QString ExtFailureReason::describe(const QSqlError &error, const QString &table,
                                   const ExtRecord &row)
{
    const QString code = error.nativeErrorCode();
    const QString column = namedColumn(error.databaseText());
    const int field = column.isEmpty() ? -1 : row.indexOf(column);
    const QString label = field < 0 ? column : row.label(field);
    const QString value = field < 0 ? QString() : shortened(row.value(field).toString());
    if (code == "1264") {
        const bool below = row.value(field).toDouble() < 0;
        return (below ? tr("%1: %2 is smaller than the column allows %3")
                      : tr("%1: %2 is larger than the column allows %3"))
            .arg(label, value, limit(table, column, below))
            .trimmed();
    }
    if (code == "1406")
        return tr("%1: \"%2\" is longer than the column allows %3")
            .arg(label, value, limit(table, column, false))
            .trimmed();
    if (code == "1048")
        return tr("%1 may not be empty").arg(label);
    if (code == "1366" || code == "1292" || code == "1265")
        return tr("%1: \"%2\" is not a value the column can hold").arg(label, value);
    if (code == "1062")
        return tr("another row already has this value (%1)").arg(error.databaseText());
    if (code == "1452")
        return tr("%1: %2 refers to a row that does not exist").arg(label, value);
    // The column named is one of the referring table.
    if (code == "1451")
        return tr("other rows refer to this row (%1)").arg(error.databaseText());
    return error.text();
}

QString ExtFailureReason::limit(const QString &table, const QString &column, bool below)
{
    const ColumnLimit holds = ColumnLimit::read(table).value(column);
    if (holds.kind == ColumnLimit::Text)
        return tr("(at most %1 characters)").arg(holds.length);
    const QString bound = below ? holds.smallest() : holds.largest();
    if (bound.isEmpty())
        return QString();
    return below ? tr("(at least %1)").arg(bound) : tr("(at most %1)").arg(bound);
}
