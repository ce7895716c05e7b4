#include "modelcombofieldwidget.h"

#include <QComboBox>
#include <QDebug>

#include "core/logcategories.h"
#include "db/sqlhelper.h"

ModelComboFieldWidget::ModelComboFieldWidget(const QString &table, const QString &displayColumn,
                                             QWidget *parent)
    : AbstractFieldWidget(new QComboBox, parent)
    , control(static_cast<QComboBox *>(editor))
{
    QList<QSqlRecord> choices;
    QSqlError error;
    if (!SqlHelper::idChoices(table, displayColumn, &choices, &error))
        qCDebug(lcApp).noquote() << error.text();
    for (const QSqlRecord &choice : std::as_const(choices))
        control->addItem(choice.value(1).toString(), choice.value(0));
}

QVariant ModelComboFieldWidget::value() const
{
    return control->currentData(Qt::UserRole);
}

void ModelComboFieldWidget::setValue(const QVariant &value)
{
    // Qt 4 compared an item's id after converting it to the type of the value asked for.
    for (int row = 0; row < control->count(); ++row) {
        QVariant id = control->itemData(row, Qt::UserRole);
        if (value.isValid() && id.convert(value.metaType()) && id == value) {
            control->setCurrentIndex(row);
            return;
        }
    }
    control->setCurrentIndex(-1);
}
