#include "extxmlmodel.h"

#include "core/logcategories.h"

#include <QDebug>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

ExtXmlModel::ExtXmlModel(const QString &fileName, QObject *parent)
    : ExtModel(parent)
    , fileName(fileName)
{}

bool ExtXmlModel::load()
{
    return ExtModel::load(QFileInfo(fileName).baseName(), [this] { return parseXml(); });
}

namespace {
// What a table schema never holds: a document type declaration (the door to external and
// expanding entities) or elements nested deeper than any real one.
QString refusedStructure(const QByteArray &content)
{
    QXmlStreamReader reader(content);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
            return ExtXmlModel::tr("a table schema has no document type declaration");
        case QXmlStreamReader::StartElement:
            if (++depth > ExtXmlModel::maxDepth)
                return ExtXmlModel::tr("elements nested deeper than %1").arg(ExtXmlModel::maxDepth);
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return QString();
}
} // namespace

bool ExtXmlModel::parseXml()
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        qCDebug(lcApp) << "cannot open file";
        setMessage(tr("cannot open the table schema %1").arg(fileName));
        return false;
    }
    // Read one byte past the limit: a special file may report no size.
    const QByteArray content = file.read(maxBytes + 1);
    file.close();
    QString error;
    if (content.size() > maxBytes)
        error = tr("the table schema is larger than %1 bytes").arg(maxBytes);
    else
        error = refusedStructure(content);
    QDomDocument document;
    if (error.isEmpty())
        document.setContent(content, &error);
    if (!error.isEmpty()) {
        qCDebug(lcApp) << "cannot parse xml" << error;
        setMessage(tr("cannot read the table schema %1: %2").arg(fileName, error));
        return false;
    }

    const ExtRecord &columns = record();
    auto fieldIndex = [&columns](const QString &name) {
        for (int i = 0; i < columns.count(); ++i)
            if (columns.fieldName(i).compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    };
    const QDomElement fields = document.documentElement().firstChildElement("fields");
    for (QDomNode node = fields.firstChild(); !node.isNull(); node = node.nextSibling()) {
        const QDomElement entry = node.toElement();
        const int field = fieldIndex(entry.attribute("name"));
        const QString label = entry.firstChildElement("label").text();
        if (field != -1 && !label.isEmpty())
            setLabel(field, label);
        const QDomElement relation = entry.firstChildElement("relation");
        if (!relation.isNull())
            setRelation(field, QSqlRelation(relation.firstChildElement("tablename").text(),
                                            relation.firstChildElement("indexColumn").text(),
                                            relation.firstChildElement("displayColumn").text()));
    }
    return true;
}
