#include "testhelpers.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/logindialog.h"
#include "core/stavimor.h"
#include "core/usermanager.h"
#include "model/extmodel.h"
#include "navigation/listviewer.h"

void TestHelpers::logIn(int userId)
{
    Stavimor::instance()->userManager->setCurrentUser(userId > 0 ? UserManager::user(userId)
                                                                 : QSqlRecord());
}

int TestHelpers::rowOf(const ExtModel &model, int id)
{
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.records.at(row)->value("id").toInt() == id)
            return row;
    }
    return -1;
}

bool TestHelpers::writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(content) == content.size();
}

ModalAnswer::Answer TestHelpers::typeLogin(const QString &user, const QString &password)
{
    return [user, password](QWidget *modal) {
        if (!qobject_cast<LoginDialog *>(modal))
            return;
        modal->findChild<QLineEdit *>("usernameLineEdit")->setText(user);
        modal->findChild<QLineEdit *>("passwordLineEdit")->setText(password);
        QTest::mouseClick(modal->findChild<QPushButton *>("loginButton"), Qt::LeftButton);
    };
}

void TestHelpers::trigger(QWidget *window, const char *name)
{
    window->findChild<QAction *>(name)->trigger();
}

QStringList TestHelpers::listed(const ListViewer &list, const QStringList &only)
{
    QStringList names;
    for (QAction *entry : list.itemActions())
        if (only.isEmpty() || only.contains(entry->text()))
            names << entry->text();
    names.sort();
    return names;
}
