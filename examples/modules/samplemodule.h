#pragma once

#include <QPointer>
#include <moduleinterface.h>

class QListWidget;
class QLabel;

// Lists the tables of the database the application hands over, with their row counts.
class SampleModule : public ModuleInterface
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID ModuleInterface_iid)
    Q_INTERFACES(ModuleInterface)
public:
    SampleModule();
    ~SampleModule() override;

    void setCore(Stavimor *core) override;
    QWidget *widget() override;
    QAction *action() override;

private:
    void refresh();

    QAction *moduleAction;
    QPointer<QWidget> page;
    QLabel *summary = nullptr;
    QListWidget *tables = nullptr;
};
