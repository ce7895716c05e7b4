#include "stavimor.h"

#include <QDebug>
#include <QSqlQuery>
#include <QSqlRecord>

#include "core/logcategories.h"
#include "core/usermanager.h"

Stavimor *Stavimor::core = nullptr;

namespace {
QVariant infosValue(const QString &column)
{
    QSqlQuery query;
    query.exec("SELECT " + column + " from infos");
    query.seek(0);
    return query.record().value(column);
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
