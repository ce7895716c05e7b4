#include "modelcombofieldwidget.h"

#include <QComboBox>
#include <QDebug>
#include <QSqlError>
#include <QSqlQuery>

#include "core/logcategories.h"
#include "db/sqlhelper.h"

ModelComboFieldWidget::ModelComboFieldWidget(const QString &table, const QString &displayColumn,
                                             QWidget *parent)
    : AbstractFieldWidget(new QComboBox, parent)
    , control(static_cast<QComboBox *>(editor))
{
    // Names that are not plain identifiers are quoted, so they cannot widen the statement.
    QSqlQuery query;
    if (!query.exec("SELECT id," + SqlHelper::identifier(displayColumn) + " FROM " +
                    SqlHelper::identifier(table)))
        qCDebug(lcApp).noquote() << query.lastError().text();
    while (query.next())
        control->addItem(query.value(1).toString(), query.value(0));
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
