#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

class ModuleInterface;
class QObject;

// Where the plug-in modules live (the folder "modules" beside the executable) and how one
// file of it becomes a module object.
class ModuleLoader
{
public:
    static QDir directory();
    // Absolute paths of the folder's files, in the file system's order.
    static QStringList files();
    // The root object of the plug-in at path, or null; error gets the plug-in loader's text.
    // The plug-in stays loaded.
    static QObject *root(const QString &path, QString *error = nullptr);
    // The module the plug-in at path holds, or null.
    static ModuleInterface *module(const QString &path);
};
