#include "preferencedialog.h"

#include "db/serversettingswidget.h"
#include "forms/proxysettingswidget.h"
#include "forms/stylesettingswidget.h"

PreferenceDialog::PreferenceDialog(QWidget *parent)
    : GroupFormWidget(parent)
{
    addFormWidget(new ServerSettingsWidget);
    addFormWidget(new ProxySettingsWidget);
    addFormWidget(new StyleSettingsWidget);
    loadAll();
}
