#pragma once

#include <QStringList>

// Collects the debug output written while it lives, for the debug lines the program promises.
class MessageCapture
{
public:
    MessageCapture();
    ~MessageCapture();

    QStringList lines() const;
    bool contains(const QString &line) const { return lines().contains(line); }
    int count(const QString &line) const { return lines().count(line); }
};
