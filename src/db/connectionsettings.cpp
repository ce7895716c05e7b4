#include "connectionsettings.h"

#include <QSettings>

ConnectionSettings ConnectionSettings::read()
{
    QSettings settings;
    settings.beginGroup("database");
    ConnectionSettings values;
    values.driver = settings.value("driver").toString();
    values.host = settings.value("host").toString();
    values.databaseName = settings.value("databasename").toString();
    values.login = settings.value("login").toString();
    values.password = settings.value("password").toString();
    values.port = settings.value("port", 0).toInt();
    values.timeout = settings.value("timeout", values.timeout).toInt();
    return values;
}

ConnectionSettings ConnectionSettings::of(const QSqlDatabase &db)
{
    ConnectionSettings values;
    values.driver = db.driverName();
    values.host = db.hostName();
    values.databaseName = db.databaseName();
    values.login = db.userName();
    values.password = db.password();
    values.port = qMax(db.port(), 0);
    return values;
}

void ConnectionSettings::write() const
{
    QSettings settings;
    settings.beginGroup("database");
    settings.setValue("driver", driver);
    settings.setValue("host", host);
    settings.setValue("databasename", databaseName);
    settings.setValue("login", login);
    settings.setValue("password", password);
    settings.setValue("port", port);
}

QSqlDatabase ConnectionSettings::addDefaultDatabase() const
{
    return addDatabase(QSqlDatabase::defaultConnection);
}

QSqlDatabase ConnectionSettings::addDatabase(const QString &connectionName) const
{
    // Copies taken of a connection (the modules' of the default one above all) keep working
    // only while it stays the same connection: one added under its name would leave them on a
    // dead driver.
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    if (db.isValid() && db.driverName() == driver)
        db.close();
    else
        db = QSqlDatabase::addDatabase(driver, connectionName);
    db.setHostName(host);
    db.setDatabaseName(databaseName);
    db.setUserName(login);
    db.setPassword(password);
    db.setPort(port > 0 ? port : -1);
    // A server that accepts the connection but never answers (stopped, overloaded, a dead
    // route) would hold the login, or any statement, and the window with it, forever.
    if (driver == "QMYSQL" || driver == "QMARIADB") {
        QString options = "MYSQL_OPT_CONNECT_TIMEOUT=10";
        if (timeout > 0)
            options +=
                QString(";MYSQL_OPT_READ_TIMEOUT=%1;MYSQL_OPT_WRITE_TIMEOUT=%1").arg(timeout);
        db.setConnectOptions(options);
    } else {
        db.setConnectOptions();
    }
    return db;
}
