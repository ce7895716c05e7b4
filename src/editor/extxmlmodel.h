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
    // False, with a status message, for a schema that cannot be read, is not well-formed, is
    // larger than maxBytes, nests deeper than maxDepth or declares a document type.
    bool parseXml();

    static constexpr int maxBytes = 4 * 1024 * 1024;
    static constexpr int maxDepth = 64;

    QString fileName;
};
