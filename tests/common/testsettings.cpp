#include "testsettings.h"

#include <QSettings>

#include "app/appidentity.h"

TestSettings::TestSettings()
{
    AppIdentity::apply();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    clear();
}

void TestSettings::clear()
{
    QSettings settings;
    settings.clear();
    settings.sync();
}
