#include "replylimit.h"

#include <QDebug>
#include <QNetworkReply>
#include <QSettings>
#include <QTimerEvent>

ReplyLimit::ReplyLimit(QNetworkReply *reply, qint64 maxBytes, Deadline deadline)
    : QObject(reply)
    , reply(reply)
    , maxBytes(maxBytes)
    , deadline(deadline)
{
    // Read buffered by the reply is counted as it arrives, so no more than about the limit
    // is ever held in memory.
    connect(reply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        if (received > this->maxBytes || total > this->maxBytes)
            stop(tr("the answer is larger than %1 bytes and was not read").arg(this->maxBytes));
        else if (this->deadline == BetweenPieces)
            restartClock();
    });
    connect(reply, &QNetworkReply::finished, this, [this] {
        if (timer)
            killTimer(timer);
        timer = 0;
    });
    restartClock();
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
    if (!stopped.isEmpty() || reply->isFinished())
        return;
    stopped = why;
    qDebug().noquote() << reply->url().toString() + ": " + why;
    reply->abort();
}
