#include "app/InstanceChannel.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace {
const QByteArray raiseRequest = "raise\n";
const QByteArray raisedAnswer = "raised\n";
const QByteArray busyAnswer = "busy\n";
constexpr int longestLine = 64; // anything longer is not ours
} // namespace

InstanceChannel::InstanceChannel(QObject* parent)
    : QObject(parent)
    , server(new QLocalServer(this)) {
    server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server, &QLocalServer::newConnection, this, &InstanceChannel::answerConnections);
}

bool InstanceChannel::listen(const QString& path, std::function<bool()> answer) {
    answerRaise = std::move(answer);
    QLocalServer::removeServer(path);
    return server->listen(path);
}

void InstanceChannel::answerConnections() {
    while (QLocalSocket* socket = server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // The socket is the context: the answer never runs for a socket that is gone. Answering
        // spins no event loop, so the socket outlives it.
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (socket->bytesAvailable() > longestLine) {
                socket->abort();
                return;
            }
            if (!socket->canReadLine())
                return;
            const QByteArray line = socket->readLine(longestLine);
            if (line == raiseRequest)
                socket->write(answerRaise && answerRaise() ? raisedAnswer : busyAnswer);
            socket->disconnectFromServer();
        });
    }
}

InstanceChannel::Reply InstanceChannel::ask(const QString& path, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(timeoutMs))
        return Reply::none;
    socket.write(raiseRequest);
    if (!socket.waitForBytesWritten(timeoutMs))
        return Reply::none;
    QByteArray reply;
    while (!reply.contains('\n') && reply.size() < longestLine && socket.waitForReadyRead(timeoutMs))
        reply += socket.read(longestLine - reply.size());
    if (reply == raisedAnswer)
        return Reply::raised;
    if (reply == busyAnswer)
        return Reply::busy;
    return Reply::none;
}
