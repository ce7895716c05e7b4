#include "moduleloader.h"

#include <QCoreApplication>
#include <QPluginLoader>

#include "modules/moduleinterface.h"

QDir ModuleLoader::directory()
{
    return QDir(QCoreApplication::applicationDirPath() + "/modules");
}

QStringList ModuleLoader::files()
{
    const QDir dir = directory();
    QStringList paths;
    const QStringList names = dir.entryList(QDir::Files, QDir::Unsorted);
    for (const QString &name : names)
        paths << dir.absoluteFilePath(name);
    return paths;
}

QObject *ModuleLoader::root(const QString &path, QString *error)
{
    QPluginLoader loader(path);
    QObject *object = loader.instance();
    if (error)
        *error = loader.errorString();
    return object;
}

ModuleInterface *ModuleLoader::module(const QString &path)
{
    return qobject_cast<ModuleInterface *>(root(path));
}
