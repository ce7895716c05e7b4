#include "proxytypes.h"

#include <QSettings>

const QMap<QString, QNetworkProxy::ProxyType> &ProxyTypes::table()
{
    static const QMap<QString, QNetworkProxy::ProxyType> types{
        {"Default Proxy", QNetworkProxy::DefaultProxy},
        {"FtpCaching Proxy", QNetworkProxy::FtpCachingProxy},
        {"Http Proxy", QNetworkProxy::HttpProxy},
        {"HttpCaching Proxy", QNetworkProxy::HttpCachingProxy},
        {"Socks5 Proxy", QNetworkProxy::Socks5Proxy},
    };
    return types;
}

QNetworkProxy::ProxyType ProxyTypes::type(const QString &name)
{
    return table().value(name, QNetworkProxy::DefaultProxy);
}

QNetworkProxy ProxyTypes::fromSettings()
{
    QSettings settings;
    settings.beginGroup("proxy");
    if (!settings.value("hasProxy", false).toBool())
        return QNetworkProxy(QNetworkProxy::NoProxy, QString(), 0, QString(), QString());
    return QNetworkProxy(type(settings.value("proxyType").toString()),
                         settings.value("hostName").toString(),
                         quint16(settings.value("port").toInt()),
                         settings.value("username").toString(),
                         settings.value("password").toString());
}
