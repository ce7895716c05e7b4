#include "usermanager.h"

#include <QCryptographicHash>
#include <algorithm>

#include "db/sqlhelper.h"

QString UserManager::passwordHash(const QString &password)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Md5).toHex());
}

QSqlRecord UserManager::login(const QString &username, const QString &passwordHash)
{
    QSqlRecord user;
    SqlHelper::account(username, passwordHash, &user);
    return user;
}

QList<QSqlRecord> UserManager::groups(const QVariant &userId)
{
    QList<QSqlRecord> result;
    if (!SqlHelper::userGroups(userId, &result))
        result.clear();
    return result;
}

QSqlRecord UserManager::user(const QVariant &id)
{
    return SqlHelper::record("users", id);
}

bool UserManager::confirmPassword(const QSqlRecord &user, const QString &password)
{
    const QSqlRecord found = login(user.value("username").toString(), passwordHash(password));
    return !found.isEmpty() && found.value("id").toString() == user.value("id").toString();
}

void UserManager::setCurrentUser(const QSqlRecord &user)
{
    currentUser = user;
    userGroups.clear();
    userGroups = groups(user.value("id"));
}

bool UserManager::isAdministrator() const
{
    bool groupExists = false;
    if (!SqlHelper::hasRow("groups", "name", QString(administratorsGroup), &groupExists))
        return false;
    if (!groupExists)
        return true;
    // The server compares names without case; so does this.
    return std::any_of(userGroups.cbegin(), userGroups.cend(), [](const QSqlRecord &group) {
        return group.value("name").toString().compare(administratorsGroup, Qt::CaseInsensitive) ==
               0;
    });
}
