#pragma once

#include <QList>
#include <QObject>
#include <QSqlRecord>
#include <QVariant>

// The logged-in user's row of `users` and the rows of the groups the user belongs to.
class UserManager : public QObject
{
    Q_OBJECT
public:
    UserManager() = default;

    // How a password is stored: the lower-case hexadecimal MD5 of its UTF-8 bytes.
    static QString passwordHash(const QString &password);
    // The user's row; empty when none matches, and when the lookup failed (which the helper
    // logs): the login then tells the user so as for a wrong password.
    static QSqlRecord login(const QString &username, const QString &passwordHash);
    static QList<QSqlRecord> groups(const QVariant &userId);
    static QSqlRecord user(const QVariant &id);
    // Whether password is the user's own, asked of `users` as the login asks it.
    static bool confirmPassword(const QSqlRecord &user, const QString &password);

    void setCurrentUser(const QSqlRecord &user);
    // A member of the group "administrators" when the database has that group; without it
    // everybody administers, as before the group existed. Asked of the server each time, so a
    // group made meanwhile counts; a failed lookup makes nobody an administrator.
    bool isAdministrator() const;

    static constexpr const char *administratorsGroup = "administrators";

    QSqlRecord currentUser;
    QList<QSqlRecord> userGroups;
};
