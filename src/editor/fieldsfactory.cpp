#include "fieldsfactory.h"

#include "editor/boolfieldwidget.h"
#include "editor/datefieldwidget.h"
#include "editor/googleaddressfieldwidget.h"
#include "editor/stringfieldwidget.h"
#include "editor/texteditfieldwidget.h"

FieldsFactory::FieldsFactory(QObject *parent)
    : QObject(parent)
{}

AbstractFieldWidget *FieldsFactory::create(const QString &type)
{
    if (type == "bool")
        return new BoolFieldWidget;
    if (type == "date")
        return new DateFieldWidget;
    if (type == "textedit")
        return new TextEditFieldWidget;
    if (type == "address")
        return new GoogleAddressFieldWidget;
    return new StringFieldWidget;
}
