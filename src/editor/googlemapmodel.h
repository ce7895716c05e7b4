#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QString>

class QNetworkAccessManager;

// Postal addresses that the geocoding service proposed for the texts typed, every answer's in the
// order the answers arrived; the completer shows those that match the current text.
class GoogleMapModel : public QAbstractListModel
{
    Q_OBJECT
public:
    struct Result
    {
        QString address;
        double latitude = 0;
        double longitude = 0;
    };

    explicit GoogleMapModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // The service's scheme and host, from the setting "geocoding/origin".
    static QString origin();

    // Why the last answer was not read (too large, too slow); empty when it was.
    QString errorString;

signals:
    void failed(const QString &reason);

public slots:
    void search(QString search);

protected slots:
    void parse();

private:
    QNetworkAccessManager *manager;
    QList<Result> results;
};
