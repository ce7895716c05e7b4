#pragma once

#include <QObject>
#include <QString>

class QDomDocument;
class QNetworkReply;

// Bounds one network answer: it is aborted once its body grows past a size that no real answer
// reaches, or when it is not complete in time, and the reason is kept for the user. The time
// allowed is the setting "network/timeout" (seconds, 30 when unset).
class ReplyLimit : public QObject
{
    Q_OBJECT
public:
    // Update descriptors, catalogues and geocoding answers are a few kilobytes.
    static constexpr qint64 documentBytes = 2 * 1024 * 1024;
    // Downloaded modules and programs.
    static constexpr qint64 downloadBytes = 256 * 1024 * 1024;

    enum Deadline { WholeAnswer, BetweenPieces };

    // Limits reply (the limit lives as its child). BetweenPieces only ends an answer that
    // stops coming for the time allowed, for downloads whose length is open.
    static void apply(QNetworkReply *reply, qint64 maxBytes, Deadline deadline = WholeAnswer);
    // Why the reply was stopped; empty when no limit stopped it.
    static QString reason(const QNetworkReply *reply);
    static int timeoutSeconds();
    // The answer as an XML document; empty for an error, a stopped answer or a body that is
    // not well-formed (a cut one included).
    static QDomDocument document(QNetworkReply *reply);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    ReplyLimit(QNetworkReply *reply, qint64 maxBytes, Deadline deadline);
    void stop(const QString &why);
    void restartClock();
    QString tooLarge() const;

    QNetworkReply *reply;
    qint64 maxBytes;
    Deadline deadline;
    int timer = 0;
    QString stopped;
};
