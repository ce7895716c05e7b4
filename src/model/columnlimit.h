#pragma once

#include <QCoreApplication>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

// What one table column can hold, as the server describes it: the most characters of a text,
// the range and decimals of a number, the values of an enumeration. A column the server says
// nothing about (or of another type) takes any value.
class ColumnLimit
{
    Q_DECLARE_TR_FUNCTIONS(ColumnLimit)
public:
    enum Kind { Any, Text, Integer, Decimal, Real, Enumeration };

    // The limits of the table's columns, by column name; empty when the server does not answer.
    static QHash<QString, ColumnLimit> read(const QString &table);

    // The value as the column stores it (an empty entry of a column that is no text is null),
    // or, when it does not fit, a null value and in *refusal the reason in plain words.
    QVariant take(const QVariant &value, QString *refusal) const;
    bool isNumber() const { return kind == Integer || kind == Decimal || kind == Real; }
    // The largest and smallest value of an integer or decimal column, as text; empty for others.
    QString largest() const;
    QString smallest() const;

    Kind kind = Any;
    bool nullable = true;
    // Text: the most characters.
    int length = 0;
    // Decimal: all digits, and those after the point.
    int digits = 0;
    int decimals = 0;
    // Integer: the range, as text (an unsigned BIGINT exceeds every signed type).
    QString minimum;
    QString maximum;
    // Enumeration: the allowed values, in the column's order.
    QStringList values;

private:
    QVariant takeNumber(const QString &text, QString *refusal) const;
};
