#include "googlemapmodel.h"

#include <QDebug>
#include <QDomDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSettings>
#include <QUrl>
#include <QUrlQuery>

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
    // Only the answer to the latest text is wanted: an earlier request still under way is
    // dropped rather than left to add its stale addresses.
    if (pending) {
        disconnect(pending, nullptr, this, nullptr);
        pending->abort();
        pending->deleteLater();
    }
    // The text is one query value: QUrlQuery encodes "&" and "#", and a "+" is encoded here
    // because the service would read it as a blank.
    QUrlQuery query;
    query.addQueryItem("address", QString(search).replace('+', "%2B"));
    query.addQueryItem("sensor", "true");
    QUrl url(origin() + "/maps/api/geocode/xml");
    url.setQuery(query);
    pending = manager->get(QNetworkRequest(url));
    ReplyLimit::apply(pending, ReplyLimit::documentBytes);
    connect(pending, &QNetworkReply::finished, this, &GoogleMapModel::parse);
}

void GoogleMapModel::parse()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    reply->deleteLater();
    qDebug().noquote() << "parse";
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
        qDebug().noquote() << result.address;
    }

    // The addresses of this answer replace those of the text typed before.
    if (!results.isEmpty()) {
        beginRemoveRows(QModelIndex(), 0, int(results.size()) - 1);
        results.clear();
        endRemoveRows();
    }
    if (!answer.isEmpty()) {
        beginInsertRows(QModelIndex(), 0, int(answer.size()) - 1);
        results = answer;
        endInsertRows();
    }
    emit layoutAboutToBeChanged();
    emit layoutChanged();
}
