#include "stylesettingswidget.h"
#include "ui_stylesettingswidget.h"

#include <QApplication>
#include <QSettings>
#include <QStyleFactory>

StyleSettingsWidget::StyleSettingsWidget(QWidget *parent)
    : AbstractFormWidget(parent)
    , ui(new Ui::StyleSettingsWidget)
{
    ui->setupUi(this);
    setWindowTitle(tr("styles"));
    setWindowIcon(QIcon(":16x16/palette.png"));
    ui->themeComboBox->addItems(QStyleFactory::keys());
    connect(ui->themeComboBox, &QComboBox::currentIndexChanged, this,
            &StyleSettingsWidget::styleChanged);
}

StyleSettingsWidget::~StyleSettingsWidget()
{
    delete ui;
}

bool StyleSettingsWidget::load()
{
    QSettings settings;
    settings.beginGroup("styles");
    const int index = ui->themeComboBox->findText(settings.value("theme").toString(),
                                                  Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index >= 0)
        ui->themeComboBox->setCurrentIndex(index);
    settings.endGroup();
    styleChanged();
    return true;
}

bool StyleSettingsWidget::save()
{
    QSettings settings;
    settings.beginGroup("styles");
    settings.setValue("theme", ui->themeComboBox->currentText());
    settings.endGroup();
    styleChanged();
    return true;
}

void StyleSettingsWidget::styleChanged()
{
    if (QStyle *style = QStyleFactory::create(ui->themeComboBox->currentText()))
        QApplication::setStyle(style);
}
