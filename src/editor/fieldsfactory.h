#pragma once

#include <QObject>

class AbstractFieldWidget;

// Makes the field widget for a field type name.
class FieldsFactory : public QObject
{
    Q_OBJECT
public:
    explicit FieldsFactory(QObject *parent = nullptr);

    // A new widget without parent, for the caller to own; unknown names give a string field.
    static AbstractFieldWidget *create(const QString &type);
};
