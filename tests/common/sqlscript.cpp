#include "sqlscript.h"

QStringList SqlScript::split(const QString &script)
{
    QStringList statements;
    QString current;
    QString delimiter = ";";
    QChar quote;
    for (qsizetype i = 0; i < script.size(); ++i) {
        const QChar c = script.at(i);
        if (!quote.isNull()) {
            current += c;
            if (c == '\\' && i + 1 < script.size())
                current += script.at(++i);
            else if (c == quote)
                quote = QChar();
        } else if (script.mid(i, 3) == "-- ") {
            const qsizetype end = script.indexOf('\n', i);
            i = end < 0 ? script.size() : end;
            current += '\n';
        } else if (current.trimmed().isEmpty() && script.mid(i, 10) == "DELIMITER ") {
            // Trigger bodies hold ';': the client's DELIMITER line names the end of a statement.
            const qsizetype end = script.indexOf('\n', i);
            delimiter = script.mid(i + 10, (end < 0 ? script.size() : end) - i - 10).trimmed();
            i = end < 0 ? script.size() : end;
            current.clear();
        } else if (script.mid(i, delimiter.size()) == delimiter) {
            statements << current.trimmed();
            current.clear();
            i += delimiter.size() - 1;
        } else {
            if (c == '\'' || c == '"' || c == '`')
                quote = c;
            current += c;
        }
    }
    statements << current.trimmed();
    statements.removeAll(QString());
    return statements;
}
