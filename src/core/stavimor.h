#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

class UserManager;

// The one core object of the process: the logged-in user and facts about the installation.
class Stavimor : public QObject
{
    Q_OBJECT
public:
    static Stavimor *instance();

    static QUrl moduleUpdateUrl();
    static QUrl appUpdateUrl();
    static QString version();

    ~Stavimor() override;

    UserManager *userManager;

private:
    Stavimor();

    static Stavimor *core;
};
