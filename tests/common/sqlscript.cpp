#include "sqlscript.h"

QStringList SqlScript::split(const QString &script)
{
    QStringList statements;
    QString current;
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
        } else if (c == ';') {
            statements << current.trimmed();
            current.clear();
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
