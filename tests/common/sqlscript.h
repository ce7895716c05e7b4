#pragma once

#include <QStringList>

// Splits an SQL script as the mysql client would: on ';' outside quotes and "-- " comments.
namespace SqlScript {
QStringList split(const QString &script);
}
