#include "loopbackhttpserver.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

LoopbackHttpServer::LoopbackHttpServer(QObject *parent)
    : QObject(parent)
{
    connect(&server, &QTcpServer::newConnection, this, &LoopbackHttpServer::accept);
}

bool LoopbackHttpServer::listen()
{
    return server.listen(QHostAddress::LocalHost);
}

QUrl LoopbackHttpServer::url(const QString &pathAndQuery) const
{
    return QUrl(QString("http://127.0.0.1:%1%2").arg(port()).arg(pathAndQuery));
}

QUrl LoopbackHttpServer::refusedUrl(const QString &path)
{
    // A port the system just handed out and that is closed again: nobody listens there.
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    return QUrl(QString("http://127.0.0.1:%1%2").arg(port).arg(path));
}

void LoopbackHttpServer::setResponse(const QString &path, const Response &response)
{
    responses.insert(path, response);
}

void LoopbackHttpServer::setResponse(const QString &path, const QByteArray &body, int status)
{
    setResponse(path, Response{status, body});
}

void LoopbackHttpServer::accept()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void LoopbackHttpServer::read(QTcpSocket *socket)
{
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", request);
    const int end = request.indexOf("\r\n\r\n");
    if (end < 0 || socket->property("answered").toBool())
        return;
    socket->setProperty("answered", true);
    const QList<QByteArray> requestLine = request.left(request.indexOf("\r\n")).split(' ');
    const QString target = QString::fromLatin1(requestLine.value(1));
    received << target;
    answer(socket, target);
}

void LoopbackHttpServer::answer(QTcpSocket *socket, const QString &target)
{
    const QString path = target.section('?', 0, 0);
    const Response response =
        responses.value(target, responses.value(path, Response{404, "<html>not found</html>"}));
    // Clients go by the status code; the reason phrase may be anything.
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n";
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head);
    sendPiece(socket, 0, response);
}

void LoopbackHttpServer::sendPiece(QTcpSocket *socket, int piece, const Response &response)
{
    const QByteArray &body = response.body;
    const int pieces = qMax(1, response.pieces);
    const qsizetype size = (body.size() + pieces - 1) / pieces;
    socket->write(body.mid(piece * size, size));
    socket->flush();
    if (piece + 1 >= pieces) {
        socket->disconnectFromHost();
        return;
    }
    QPointer<QTcpSocket> guard(socket);
    QTimer::singleShot(response.pauseMs, this, [=] {
        if (guard && guard->state() == QAbstractSocket::ConnectedState)
            sendPiece(guard, piece + 1, response);
        else
            ++cutOff;
    });
}
