#pragma once

#include <QStringList>

// Splits an SQL script as the mysql client would: on ';' outside quotes and comments,
// with DELIMITER lines changing the terminator (for trigger bodies).
namespace SqlScript {
QStringList split(const QString &script);
}
