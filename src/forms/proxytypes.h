#pragma once

#include <QMap>
#include <QNetworkProxy>
#include <QString>

// The proxy types by the names the settings store, shared by the proxy page and start-up.
namespace ProxyTypes {
const QMap<QString, QNetworkProxy::ProxyType> &table();
// An unknown name gives the default proxy type.
QNetworkProxy::ProxyType type(const QString &name);
// The proxy the stored "proxy" settings ask for; no proxy when none is switched on.
QNetworkProxy fromSettings();
} // namespace ProxyTypes
