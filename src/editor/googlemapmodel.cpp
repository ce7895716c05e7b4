#include "googlemapmodel.h"

#include <QDebug>
#include <QDomDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSettings>
#include <QUrl>
#include <QUrlQuery>

#include "core/logcategories.h"
#include "core/replylimit.h"

GoogleMapModel::GoogleMapModel(QObject *parent)
    : QAbstractListModel(parent)
    , manager(new QNetworkAccessManager(this))
{}

int GoogleMapModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(results.size());
}

QVariant GoogleMapModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= results.size())
        return QVariant();
    return results.at(index.row()).address;
}

QString GoogleMapModel::origin()
{
    return QSettings().value("geocoding/origin", "http://maps.googleapis.com").toString();
}

void GoogleMapModel::search(QString search)
{
    // The text is one query value: QUrlQuery encodes "&" and "#", and a "+" is encoded here
    // because the service would read it as a blank.
    QUrlQuery query;
    query.addQueryItem("address", QString(search).replace('+', "%2B"));
    query.addQueryItem("sensor", "true");
    QUrl url(origin() + "/maps/api/geocode/xml");
    url.setQuery(query);
    QNetworkReply *reply = manager->get(QNetworkRequest(url));
    ReplyLimit::apply(reply, ReplyLimit::documentBytes);
    connect(reply, &QNetworkReply::finished, this, &GoogleMapModel::parse);
}

void GoogleMapModel::parse()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    reply->deleteLater();
    qCDebug(lcApp).noquote() << "parse";
    errorString = ReplyLimit::reason(reply);
    if (!errorString.isEmpty())
        emit failed(errorString);
    const QDomDocument document = ReplyLimit::document(reply);

    QList<Result> answer;
    for (QDomNode node = document.documentElement().firstChild(); !node.isNull();
         node = node.nextSibling()) {
        const QDomElement location =
            node.firstChildElement("geometry").firstChildElement("location");
        Result result;
        result.address = node.firstChildElement("formatted_address").text();
        result.latitude = location.firstChildElement("lat").text().toDouble();
        result.longitude = location.firstChildElement("lng").text().toDouble();
        answer << result;
        qCDebug(lcApp).noquote() << result.address;
    }

    if (!answer.isEmpty()) {
        beginInsertRows(QModelIndex(), int(results.size()),
                        int(results.size() + answer.size()) - 1);
        results << answer;
        endInsertRows();
    }
    emit layoutAboutToBeChanged();
    emit layoutChanged();
}
