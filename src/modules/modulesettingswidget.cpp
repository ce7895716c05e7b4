#include "modulesettingswidget.h"
#include "ui_modulesettingswidget.h"

#include <QAction>
#include <QSettings>

#include "modules/getmoduledialog.h"
#include "modules/moduleinterface.h"
#include "modules/moduleloader.h"

ModuleSettingsWidget::ModuleSettingsWidget(QWidget *parent)
    : AbstractFormWidget(parent)
    , ui(new Ui::ModuleSettingsWidget)
{
    ui->setupUi(this);
    setWindowTitle(tr("Modules"));
    setWindowIcon(QIcon(":16x16/plugin.png"));
    connect(ui->newModulesButton, &QPushButton::clicked, this,
            &ModuleSettingsWidget::getNewModules);
    loadModules();
}

ModuleSettingsWidget::~ModuleSettingsWidget()
{
    delete ui;
}

void ModuleSettingsWidget::loadModules()
{
    ui->treeWidget->clear();
    modules.clear();
    const QStringList files = ModuleLoader::files();
    for (const QString &file : files) {
        ModuleInterface *module = ModuleLoader::module(file);
        if (!module || !module->action())
            continue;
        modules << module;
        auto *item = new QTreeWidgetItem(ui->treeWidget);
        item->setText(0, module->action()->text());
        item->setText(1, QString::number(module->version, 'g', 6));
        item->setText(2, module->author);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Checked);
    }
    ui->treeWidget->resizeColumnToContents(0);
}

bool ModuleSettingsWidget::load()
{
    QSettings settings;
    settings.beginGroup("module_disable");
    for (int row = 0; row < ui->treeWidget->topLevelItemCount(); ++row) {
        QTreeWidgetItem *item = ui->treeWidget->topLevelItem(row);
        if (settings.value(item->text(0), false).toBool())
            item->setCheckState(0, Qt::Unchecked);
    }
    return true;
}

bool ModuleSettingsWidget::save()
{
    QSettings settings;
    settings.beginGroup("module_disable");
    for (int row = 0; row < ui->treeWidget->topLevelItemCount(); ++row) {
        QTreeWidgetItem *item = ui->treeWidget->topLevelItem(row);
        if (item->checkState(0) == Qt::Unchecked)
            settings.setValue(item->text(0), true);
        else
            settings.remove(item->text(0));
    }
    return true;
}

void ModuleSettingsWidget::getNewModules()
{
    auto *dialog = new GetModuleDialog(this);
    if (dialog->exec() == QDialog::Accepted)
        loadModules();
    dialog->deleteLater();
}
