#include "extxmlmodel.h"

#include <QDebug>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

ExtXmlModel::ExtXmlModel(const QString &fileName, QObject *parent)
    : ExtModel(parent)
    , fileName(fileName)
{
}

bool ExtXmlModel::load()
{
    // The rows are those of the statement that setTable() has just run, so a load sends the
    // visibility statement once, not twice.
    QSqlQuery rows;
    setTable(QFileInfo(fileName).baseName(), &rows);
    if (!parseXml())
        return false;
    return selectFrom(rows);
}

bool ExtXmlModel::parseXml()
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        qDebug() << "cannot open file";
        return false;
    }
    QDomDocument document;
    QString error;
    if (!document.setContent(&file, &error)) {
        qDebug() << "cannot parse xml" << error;
        file.close();
        return false;
    }
    file.close();

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
