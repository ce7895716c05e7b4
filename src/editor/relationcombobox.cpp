#include "relationcombobox.h"

#include <QDebug>

#include "core/logcategories.h"
#include "db/sqlhelper.h"
#include "model/extrecord.h"

RelationComboBox::RelationComboBox(const QSqlRelation &relation, QWidget *parent)
    : QComboBox(parent)
    , relation(relation)
{
    if (!ExtRecord::isComplete(relation))
        return;
    // A failed read leaves the box empty, as a table without rows would.
    QList<QSqlRecord> choices;
    QSqlError error;
    if (!SqlHelper::relationChoices(relation, &choices, &error))
        qCDebug(lcApp).noquote() << error.text();
    for (const QSqlRecord &choice : std::as_const(choices))
        addItem(choice.value(1).toString(), choice.value(0));
}

int RelationComboBox::currentKey() const
{
    return currentData().toInt();
}

void RelationComboBox::setCurrentKey(int key)
{
    for (int i = 0; i < count(); ++i) {
        bool number = false;
        if (itemData(i).toLongLong(&number) == key && number) {
            setCurrentIndex(i);
            return;
        }
    }
    setCurrentIndex(-1);
}
