#include "stavimor.h"

#include <QDebug>

#include "core/logcategories.h"
#include "core/usermanager.h"
#include "db/sqlhelper.h"

Stavimor *Stavimor::core = nullptr;

namespace {
QVariant infosValue(const QString &column)
{
    QVariant value;
    SqlHelper::info(column, &value);
    return value;
}
} // namespace

Stavimor::Stavimor()
    : userManager(new UserManager)
{}

Stavimor::~Stavimor()
{
    delete userManager;
    // A later instance() call (another main window, a test) gets a fresh core, not a dangling one.
    if (core == this)
        core = nullptr;
}

Stavimor *Stavimor::instance()
{
    if (!core) {
        core = new Stavimor;
        qCDebug(lcApp).noquote() << "core instance created...";
    }
    return core;
}

QUrl Stavimor::moduleUpdateUrl()
{
    return QUrl(infosValue("module_update_url").toString());
}

QUrl Stavimor::appUpdateUrl()
{
    return QUrl(infosValue("app_update_url").toString());
}

QString Stavimor::version()
{
    return infosValue("version").toString();
}
