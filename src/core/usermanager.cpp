#include "usermanager.h"

#include <QCryptographicHash>
#include <QSqlQuery>
#include <algorithm>

#include "db/sqlhelper.h"

QString UserManager::passwordHash(const QString &password)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Md5).toHex());
}

QSqlRecord UserManager::login(const QString &username, const QString &passwordHash)
{
    // Escaped, so a quote in the name cannot turn the lookup into a condition that finds someone.
    QSqlQuery query;
    query.exec("select * from users where username='" + SqlHelper::escape(username) +
               "' AND password='" + SqlHelper::escape(passwordHash) + "'");
    if (query.next() && !query.value("id").isNull())
        return query.record();
    return QSqlRecord();
}

QList<QSqlRecord> UserManager::groups(const QVariant &userId)
{
    QList<QSqlRecord> result;
    QString id;
    if (!SqlHelper::idText(userId, &id))
        return result;
    QSqlQuery query;
    query.exec("select g.* from groups g, groups_users gu WHERE gu.group_id=g.id AND gu.user_id=" +
               id);
    while (query.next())
        result << query.record();
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
