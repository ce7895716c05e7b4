#include "relationcombobox.h"

#include <QSqlQuery>

#include "db/sqlhelper.h"
#include "model/extrecord.h"

RelationComboBox::RelationComboBox(const QSqlRelation &relation, QWidget *parent)
    : QComboBox(parent)
    , relation(relation)
{
    if (!ExtRecord::isComplete(relation))
        return;
    // The names come from a schema file: quoted unless they are plain identifiers.
    QSqlQuery query("Select " + SqlHelper::identifier(relation.indexColumn()) + ","
                    + SqlHelper::identifier(relation.displayColumn()) + " FROM "
                    + SqlHelper::identifier(relation.tableName()));
    while (query.next())
        addItem(query.value(1).toString(), query.value(0));
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
