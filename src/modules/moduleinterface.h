#pragma once

#include <QObject>
#include <QSqlDatabase>
#include <QString>

class QAction;
class QWidget;
class Stavimor;

#define ModuleInterface_iid "Wexo.Stavimor.Module/1.0"

// The contract between the application and a plug-in module. Module authors build against this
// header alone (it is installed for them), so everything in it is inline and it carries no
// meta-object of its own: the module's root class brings that, with
// Q_INTERFACES(ModuleInterface) and Q_PLUGIN_METADATA(IID ModuleInterface_iid).
class ModuleInterface : public QObject
{
public:
    explicit ModuleInterface(QObject *parent = nullptr)
        : QObject(parent)
    {}
    ~ModuleInterface() override = default;

    virtual void setCore(Stavimor *core) = 0;
    // The host shows it in a window of its own and never deletes it; the module owns it.
    virtual QWidget *widget() = 0;
    // Its text is the module's name, under which the host knows the module.
    virtual QAction *action() = 0;

    bool setDatabase(QSqlDatabase db)
    {
        database = db;
        return database.open();
    }

    QSqlDatabase database;
    double version = 0;
    QString author;
};

Q_DECLARE_INTERFACE(ModuleInterface, ModuleInterface_iid)
