#pragma once

#include <QSqlDatabase>
#include <QString>

// The parameters of the one database connection, kept in the settings group "database".
class ConnectionSettings
{
public:
    static ConnectionSettings read();
    // The values a registered connection was given.
    static ConnectionSettings of(const QSqlDatabase &db);
    void write() const;
    // Sets up the default connection with these values, closed: the one already registered
    // when it has the same driver, else a new one in its place.
    QSqlDatabase addDefaultDatabase() const;
    // Registers a connection of that name with these values, replacing any earlier one.
    QSqlDatabase addDatabase(const QString &connectionName) const;

    QString driver;
    QString host;
    QString databaseName;
    QString login;
    QString password;
    int port = 0; // 0: the driver's default
    // Seconds a statement may wait for the server to read or answer ("database/timeout");
    // 0: as long as it takes.
    int timeout = 30;
};
