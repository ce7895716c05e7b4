#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "modalanswer.h"

class ExtModel;
class ListViewer;
class QWidget;

// Small steps many tests share.
namespace TestHelpers {
// Makes the user with this id the program's current user; 0 logs everybody out.
void logIn(int userId);
// The row of the model's record whose "id" is id, -1 if none.
int rowOf(const ExtModel &model, int id);
// Writes content into path, replacing what was there.
bool writeFile(const QString &path, const QByteArray &content);
// Fills the login dialog and presses "Login"; any other modal widget is left alone.
ModalAnswer::Answer typeLogin(const QString &user, const QString &password);
// Triggers the window's action of that object name.
void trigger(QWidget *window, const char *name);
// The texts of the list's entries, sorted; with names given, only those among them.
QStringList listed(const ListViewer &list, const QStringList &only = {});
} // namespace TestHelpers
