#include "appidentity.h"

#include <QCoreApplication>

void AppIdentity::apply()
{
    QCoreApplication::setOrganizationName("Brunvale");
    QCoreApplication::setOrganizationDomain("brunvale.org");
    QCoreApplication::setApplicationName("Stavimor");
    QCoreApplication::setApplicationVersion("beta 0.5.2");
}
