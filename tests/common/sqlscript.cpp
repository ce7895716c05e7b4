#include "sqlscript.h"

QStringList SqlScript::split(const QString &script)
{
    QStringList statements;
    QString delimiter = ";";
    QString current;
    QChar quote;
    const int n = script.size();
    int i = 0;
    auto flush = [&]() {
        const QString statement = current.trimmed();
        if (!statement.isEmpty())
            statements << statement;
        current.clear();
    };
    while (i < n) {
        const QChar c = script.at(i);
        if (!quote.isNull()) {
            current += c;
            if (c == '\\' && i + 1 < n) {
                current += script.at(++i);
            } else if (c == quote) {
                quote = QChar();
            }
            ++i;
            continue;
        }
        const bool lineStart = current.trimmed().isEmpty();
        if (lineStart && script.mid(i, 10).compare("DELIMITER ", Qt::CaseInsensitive) == 0) {
            const int end = script.indexOf('\n', i);
            delimiter = script.mid(i + 10, (end < 0 ? n : end) - i - 10).trimmed();
            current.clear();
            i = end < 0 ? n : end + 1;
            continue;
        }
        if (c == '#' || (c == '-' && script.mid(i, 3) == "-- ")) {
            const int end = script.indexOf('\n', i);
            i = end < 0 ? n : end + 1;
            current += '\n';
            continue;
        }
        if (c == '/' && i + 1 < n && script.at(i + 1) == '*') {
            const int end = script.indexOf("*/", i + 2);
            i = end < 0 ? n : end + 2;
            current += ' ';
            continue;
        }
        if (c == '\'' || c == '"' || c == '`') {
            quote = c;
            current += c;
            ++i;
            continue;
        }
        if (script.mid(i, delimiter.size()) == delimiter) {
            flush();
            i += delimiter.size();
            continue;
        }
        current += c;
        ++i;
    }
    flush();
    return statements;
}
