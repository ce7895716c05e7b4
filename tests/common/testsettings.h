#pragma once

#include <QTemporaryDir>

// Points the per-user settings store into a temporary folder for the life of the object,
// under the application identity the program sets at start-up.
class TestSettings
{
public:
    TestSettings();
    // Forgets every stored setting.
    void clear();

private:
    QTemporaryDir dir;
};
