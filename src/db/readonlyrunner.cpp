#include "readonlyrunner.h"

#include <QRegularExpression>

QStringList ReadOnlyRunner::split(const QString &text)
{
    QStringList statements;
    QString current;
    QChar quote;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const QChar next = i + 1 < text.size() ? text.at(i + 1) : QChar();
        if (!quote.isNull()) {
            current += c;
            if (c == '\\' && quote != '`' && !next.isNull()) {
                current += next;
                ++i;
            } else if (c == quote) {
                quote = QChar();
            }
            continue;
        }
        if (c == '\'' || c == '"' || c == '`') {
            quote = c;
        } else if (c == '#' || (c == '-' && next == '-' &&
                                (i + 2 >= text.size() || text.at(i + 2).isSpace()))) {
            const int end = text.indexOf('\n', i);
            i = end < 0 ? text.size() : end;
            current += ' ';
            continue;
        } else if (c == '/' && next == '*') {
            const int end = text.indexOf("*/", i + 2);
            const int stop = end < 0 ? text.size() : end + 2;
            // Comments the server runs stay in the statement, for isReading() to refuse.
            current += text.at(i + 2) == '!' || text.mid(i + 2, 2) == "M!" ? text.mid(i, stop - i)
                                                                           : QString(' ');
            i = stop - 1;
            continue;
        } else if (c == ';') {
            if (!current.trimmed().isEmpty())
                statements << current.trimmed();
            current.clear();
            continue;
        }
        current += c;
    }
    if (!current.trimmed().isEmpty())
        statements << current.trimmed();
    return statements;
}

bool ReadOnlyRunner::isReading(const QString &statement)
{
    static const QRegularExpression reading(
        "^[\\s(]*(select|show|describe|desc|explain|with|values)\\b",
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression writing("\\binto\\s+(outfile|dumpfile)\\b|/\\*M?!",
                                            QRegularExpression::CaseInsensitiveOption);
    return reading.match(statement).hasMatch() && !writing.match(statement).hasMatch();
}

bool ReadOnlyRunner::run(const QSqlDatabase &db, QSqlQuery &query, const QString &text,
                         QString *refusal)
{
    refusal->clear();
    for (const QString &statement : split(text)) {
        if (!isReading(statement)) {
            *refusal = tr("only members of the group \"administrators\" may change the "
                          "database; this statement was not run: %1")
                           .arg(statement);
            return false;
        }
        QSqlQuery transaction(db);
        if (!transaction.exec("START TRANSACTION READ ONLY")) {
            query = std::move(transaction);
            return false;
        }
        const bool ok = query.exec(statement);
        // Nothing was written: the transaction ends either way without changes.
        transaction.exec("ROLLBACK");
        if (!ok) {
            // ER_CANT_EXECUTE_IN_READ_ONLY_TRANSACTION
            if (query.lastError().nativeErrorCode() == "1792")
                *refusal = tr("the server refused to write: only members of the group "
                              "\"administrators\" may change the database");
            return false;
        }
    }
    return true;
}
