#include "replylimit.h"

#include <QDebug>
#include <QDomDocument>
#include <QNetworkReply>
#include <QSettings>
#include <QTimerEvent>

#include "core/logcategories.h"

ReplyLimit::ReplyLimit(QNetworkReply *reply, qint64 maxBytes, Deadline deadline)
    : QObject(reply)
    , reply(reply)
    , maxBytes(maxBytes)
    , deadline(deadline)
{
    // Checked as each piece arrives, so that no more than about the limit is ever held.
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        if (this->reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > this->maxBytes)
            stop(tooLarge());
    });
    connect(reply, &QIODevice::readyRead, this, [this] {
        if (this->reply->bytesAvailable() > this->maxBytes)
            stop(tooLarge());
        else if (this->deadline == BetweenPieces)
            restartClock();
    });
    connect(reply, &QNetworkReply::finished, this, [this] {
        if (timer)
            killTimer(timer);
        timer = 0;
        if (this->reply->bytesAvailable() > this->maxBytes)
            stop(tooLarge());
    });
    restartClock();
}

QString ReplyLimit::tooLarge() const
{
    return tr("the answer is larger than %1 bytes and was not read").arg(maxBytes);
}

void ReplyLimit::apply(QNetworkReply *reply, qint64 maxBytes, Deadline deadline)
{
    new ReplyLimit(reply, maxBytes, deadline);
}

QString ReplyLimit::reason(const QNetworkReply *reply)
{
    const ReplyLimit *limit = reply->findChild<ReplyLimit *>(QString(), Qt::FindDirectChildrenOnly);
    return limit ? limit->stopped : QString();
}

int ReplyLimit::timeoutSeconds()
{
    const int seconds = QSettings().value("network/timeout", 30).toInt();
    return seconds > 0 ? seconds : 30;
}

void ReplyLimit::restartClock()
{
    if (timer)
        killTimer(timer);
    timer = startTimer(timeoutSeconds() * 1000);
}

void ReplyLimit::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != timer)
        return;
    stop(deadline == WholeAnswer ? tr("no complete answer within %1 seconds").arg(timeoutSeconds())
                                 : tr("nothing received for %1 seconds").arg(timeoutSeconds()));
}

void ReplyLimit::stop(const QString &why)
{
    if (!stopped.isEmpty())
        return;
    stopped = why;
    qCDebug(lcApp).noquote() << reply->url().toString() + ": " + why;
    if (!reply->isFinished())
        reply->abort();
}

QDomDocument ReplyLimit::document(QNetworkReply *reply)
{
    QDomDocument document;
    // An error answer (a server's error page), a stopped or a cut one is no document of ours:
    // it reads as empty, never as the part that came.
    if (reply->error() != QNetworkReply::NoError || !reason(reply).isEmpty() ||
        !document.setContent(reply->readAll()))
        return QDomDocument();
    return document;
}
