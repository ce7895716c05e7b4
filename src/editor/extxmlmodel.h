#pragma once

#include "model/extmodel.h"

// A table opened through its XML schema: the file's base name is the table, its field entries
// give labels and relations.
class ExtXmlModel : public ExtModel
{
    Q_OBJECT
public:
    explicit ExtXmlModel(const QString &fileName, QObject *parent = nullptr);

    bool load();
    bool parseXml();

    QString fileName;
};
