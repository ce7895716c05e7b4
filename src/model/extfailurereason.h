#pragma once

#include <QCoreApplication>
#include <QSqlError>
#include <QString>

class ExtRecord;

// Puts the server's refusal of one row into a reviewer's words: the field by its label, the
// value, and what the column allows. Refusals it does not know keep the server's text.
class ExtFailureReason
{
    Q_DECLARE_TR_FUNCTIONS(ExtFailureReason)
public:
    static QString describe(const QSqlError &error, const QString &table, const ExtRecord &row);

private:
    // What the column can hold, as the server declares it: "(at most 9999.9)", or empty.
    static QString limit(const QString &table, const QString &column, bool below);
};
