#pragma once

#include <QStringList>

// Splits an SQL script as the mysql client would: on the delimiter (";" unless a DELIMITER line
// names another) outside quotes and "-- " comments.
namespace SqlScript {
QStringList split(const QString &script);
}
