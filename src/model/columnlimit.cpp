#include "columnlimit.h"

#include <QLocale>
#include <QRegularExpression>
#include <QSqlQuery>

#include "db/sqlhelper.h"

namespace {

// The values of "enum('a','b''c')", unquoted.
QStringList enumerationValues(const QString &columnType)
{
    QStringList values;
    static const QRegularExpression quoted("'((?:[^']|'')*)'");
    auto matches = quoted.globalMatch(columnType);
    while (matches.hasNext())
        values << matches.next().captured(1).replace("''", "'");
    return values;
}

// The bits of each integer type.
int integerBits(const QString &dataType)
{
    static const QHash<QString, int> bits = {
        {"tinyint", 8}, {"smallint", 16}, {"mediumint", 24}, {"int", 32}, {"bigint", 64}};
    return bits.value(dataType, 0);
}

ColumnLimit limitOf(const QSqlQuery &column)
{
    ColumnLimit limit;
    const QString dataType = column.value(1).toString().toLower();
    const QString columnType = column.value(2).toString().toLower();
    const bool isUnsigned = columnType.contains("unsigned");
    limit.nullable = column.value(6).toString() == "YES";
    if (dataType.endsWith("char") || dataType.endsWith("text")) {
        limit.kind = ColumnLimit::Text;
        limit.length = int(qMin(column.value(3).toLongLong(), qlonglong(INT_MAX)));
    } else if (const int bits = integerBits(dataType)) {
        limit.kind = ColumnLimit::Integer;
        if (isUnsigned) {
            limit.minimum = "0";
            limit.maximum = QString::number(bits == 64 ? ULLONG_MAX : (1ULL << bits) - 1);
        } else {
            limit.minimum = QString::number(bits == 64 ? LLONG_MIN : -(1LL << (bits - 1)));
            limit.maximum = QString::number(bits == 64 ? LLONG_MAX : (1LL << (bits - 1)) - 1);
        }
    } else if (dataType == "decimal") {
        limit.kind = ColumnLimit::Decimal;
        limit.digits = column.value(4).toInt();
        limit.decimals = column.value(5).toInt();
        limit.minimum = isUnsigned ? "0" : QString();
    } else if (dataType == "float" || dataType == "double") {
        limit.kind = ColumnLimit::Real;
    } else if (dataType == "enum") {
        limit.kind = ColumnLimit::Enumeration;
        limit.values = enumerationValues(column.value(2).toString());
    }
    return limit;
}

} // namespace

QHash<QString, ColumnLimit> ColumnLimit::read(const QString &table)
{
    QHash<QString, ColumnLimit> limits;
    QSqlQuery columns;
    columns.setForwardOnly(true);
    if (!columns.exec(
            "SELECT COLUMN_NAME, DATA_TYPE, COLUMN_TYPE, CHARACTER_MAXIMUM_LENGTH, "
            "NUMERIC_PRECISION, NUMERIC_SCALE, IS_NULLABLE FROM information_schema.COLUMNS "
            "WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = " +
            SqlHelper::literal(table)))
        return limits;
    while (columns.next())
        limits.insert(columns.value(0).toString(), limitOf(columns));
    return limits;
}

QString ColumnLimit::largest() const
{
    if (kind != Decimal)
        return kind == Integer ? maximum : QString();
    QString nines = QString(digits - decimals, '9');
    if (decimals > 0)
        nines += "." + QString(decimals, '9');
    return nines;
}

QString ColumnLimit::smallest() const
{
    if (kind != Decimal)
        return kind == Integer ? minimum : QString();
    return minimum.isEmpty() ? "-" + largest() : minimum;
}

QVariant ColumnLimit::take(const QVariant &value, QString *refusal) const
{
    refusal->clear();
    if (kind == Any)
        return value;
    const QString text = value.toString();
    if (value.isNull() || (kind != Text && text.isEmpty())) {
        if (!nullable)
            *refusal = tr("the column needs a value");
        return QVariant();
    }
    switch (kind) {
    case Text: {
        const qsizetype characters = text.toUcs4().size();
        if (characters > length) {
            *refusal = tr("%1 characters are more than the column allows (at most %2)")
                           .arg(characters)
                           .arg(length);
            return QVariant();
        }
        return value;
    }
    case Enumeration:
        if (!values.contains(text)) {
            *refusal =
                tr("\"%1\" is not one of the column's values (%2)").arg(text, values.join(", "));
            return QVariant();
        }
        return text;
    default:
        return takeNumber(text.trimmed(), refusal);
    }
}

// Read digit by digit, so that no number is rounded before it is checked: the point is '.'
// or the user's own decimal point, and no group separator is taken.
QVariant ColumnLimit::takeNumber(const QString &text, QString *refusal) const
{
    const QString point = QRegularExpression::escape(QLocale().decimalPoint());
    const QRegularExpression pattern("^([+-]?)0*(\\d*)(?:(?:\\.|" + point +
                                     ")(\\d*?)0*)?(?:[eE]([+-]?\\d+))?$");
    const QRegularExpressionMatch number = pattern.match(text);
    const QString whole = number.captured(2);
    const QString fraction = number.captured(3);
    const QString mantissa = text.section(QRegularExpression("[eE]"), 0, 0);
    if (!number.hasMatch() || !mantissa.contains(QRegularExpression("\\d")) ||
        (kind != Real && number.hasCaptured(4))) {
        *refusal = tr("\"%1\" is not a number").arg(text);
        return QVariant();
    }
    const bool negative = number.captured(1) == "-" && !(whole + fraction).isEmpty();
    const QString plain = (negative ? "-" : "") + (whole.isEmpty() ? "0" : whole) +
                          (fraction.isEmpty() ? QString() : "." + fraction);
    if (kind == Real)
        return QString(plain + (number.hasCaptured(4) ? "e" + number.captured(4) : QString()))
            .toDouble();
    if (kind == Integer && !fraction.isEmpty()) {
        *refusal = tr("%1 is not a whole number").arg(text);
        return QVariant();
    }
    // Text with more digits than the bound is beyond it; with as many, compared as text.
    auto beyond = [&whole](const QString &bound) {
        const QString digitsOf = bound.startsWith('-') ? bound.mid(1) : bound;
        return whole.size() != digitsOf.size() ? whole.size() > digitsOf.size() : whole > digitsOf;
    };
    if (kind == Decimal && fraction.size() > decimals) {
        *refusal =
            tr("%1 has more decimals than the column allows (at most %2)").arg(text).arg(decimals);
        return QVariant();
    }
    const QString largest = this->largest();
    const QString smallest = this->smallest();
    if (negative && (smallest == "0" || beyond(smallest.section('.', 0, 0)))) {
        *refusal = tr("%1 is smaller than the column allows (at least %2)").arg(text, smallest);
        return QVariant();
    }
    if (!negative && beyond(largest.section('.', 0, 0))) {
        *refusal = tr("%1 is larger than the column allows (at most %2)").arg(text, largest);
        return QVariant();
    }
    if (kind == Decimal)
        return plain.toDouble();
    bool fits = false;
    const qlonglong signedValue = plain.toLongLong(&fits);
    return fits ? QVariant(signedValue) : QVariant(plain.toULongLong());
}
