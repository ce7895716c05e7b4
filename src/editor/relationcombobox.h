#pragma once

#include <QComboBox>
#include <QSqlRelation>

// Offers the rows of a related table by their display column and stores the chosen key.
class RelationComboBox : public QComboBox
{
    Q_OBJECT
    Q_PROPERTY(int currentKey READ currentKey WRITE setCurrentKey DESIGNABLE true SCRIPTABLE true
                   STORED true)
public:
    explicit RelationComboBox(const QSqlRelation &relation, QWidget *parent = nullptr);

    int currentKey() const;
    void setCurrentKey(int key);

    QSqlRelation relation;
};
