#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 for the network tests: answers GET requests for the
// paths it was given, 404 for every other path, and records what it was asked.
class LoopbackHttpServer : public QObject
{
    Q_OBJECT
public:
    struct Response
    {
        int status = 200;
        QByteArray body;
        // The body goes out in this many pieces, with a pause before each but the first,
        // so that the client sees progress.
        int pieces = 1;
        int pauseMs = 0;
    };

    explicit LoopbackHttpServer(QObject *parent = nullptr);

    bool listen();
    quint16 port() const { return server.serverPort(); }
    // The address of path (with an optional query) on this server.
    QUrl url(const QString &pathAndQuery) const;
    // An address on 127.0.0.1 where nothing listens, so a connection is refused.
    static QUrl refusedUrl(const QString &path);

    // Answers for a path, or for one exact target (path and query), which goes first.
    void setResponse(const QString &path, const Response &response);
    void setResponse(const QString &path, const QByteArray &body, int status = 200);

    // Request targets (path and query, as sent) in the order they arrived.
    QStringList requests() const { return received; }
    void clearRequests() { received.clear(); }
    // Answers whose client went away before the whole body was sent.
    int cutOffAnswers() const { return cutOff; }

private:
    void accept();
    void read(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const QString &target);
    void sendPiece(QTcpSocket *socket, int piece, const Response &response);

    QTcpServer server;
    QHash<QString, Response> responses;
    QStringList received;
    int cutOff = 0;
};
