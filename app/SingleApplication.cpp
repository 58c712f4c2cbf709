#include "app/SingleApplication.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QLoggingCategory>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcInstance, "vexaro.app.instance", QtWarningMsg)

namespace {
// The display this session draws on: the Wayland socket, else the X display, else none (a
// console session).
QString displaySession() {
    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (!wayland.isEmpty())
        return QStringLiteral("wayland:") + wayland;
    return qEnvironmentVariable("DISPLAY");
}

// The user's own folder for the guard: private to the user, so nobody else can plant it.
QString guardFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime;
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           QStringLiteral("/Norvale/Vexaro");
    QDir().mkpath(config);
    return config;
}
// The request and the answers on the channel, one line each.
const QByteArray raiseRequest = "raise\n";
const QByteArray raisedAnswer = "raised\n";
const QByteArray busyAnswer = "busy\n";
} // namespace

SingleApplication::SingleApplication(int& argc, char** argv)
    : QApplication(argc, argv)
    , guard(std::make_unique<QLockFile>(guardPath())) {}

SingleApplication::~SingleApplication() = default; // QLockFile removes the file it holds

QString SingleApplication::guardPath() {
    return guardPathFor(guardFolder(), displaySession());
}

QString SingleApplication::guardPathFor(const QString& folder, const QString& session) {
    // The display name becomes part of a file name: only characters that are safe there.
    QString name = session.isEmpty() ? QStringLiteral("console") : session;
    for (QChar& c : name) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('.') && c != QLatin1Char('-'))
            c = QLatin1Char('_');
    }
    return QDir(folder).filePath(QStringLiteral("vexaro-%1.lock").arg(name));
}

bool SingleApplication::isPrimaryInstance() {
    return claimGuard(*guard);
}

bool SingleApplication::claimGuard(QLockFile& lock) {
    // Never stale by age: a live instance may run for days. A dead holder is detected by its pid.
    lock.setStaleLockTime(0);
    if (lock.tryLock(0))
        return true;
    qint64 pid = 0;
    QString host, application;
    if (lock.error() == QLockFile::LockFailedError && !lock.getLockInfo(&pid, &host, &application)) {
        lock.removeStaleLockFile();
        return lock.tryLock(0);
    }
    return false;
}

QString SingleApplication::channelPath() {
    return guardPath() + QStringLiteral(".sock");
}

void SingleApplication::listenForOtherInstances(std::function<bool()> answer) {
    answerRaise = std::move(answer);
    if (!channel) {
        channel = new QLocalServer(this);
        channel->setSocketOptions(QLocalServer::UserAccessOption);
        connect(channel, &QLocalServer::newConnection, this, &SingleApplication::answerConnection);
    }
    // This process holds the guard, so a socket left at the path is a crashed instance's.
    QLocalServer::removeServer(channelPath());
    if (!channel->listen(channelPath()))
        qCWarning(lcInstance) << "cannot listen for other instances:" << channel->errorString();
}

void SingleApplication::answerConnection() {
    while (QLocalSocket* socket = channel->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // The socket is the context: the answer never runs for a socket that is gone. Answering
        // spins no event loop, so the socket outlives it.
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            // Anything but the one short request is not ours to answer.
            if (socket->bytesAvailable() > 64) {
                socket->abort();
                return;
            }
            if (!socket->canReadLine())
                return;
            const QByteArray line = socket->readLine(64);
            if (line == raiseRequest)
                socket->write(answerRaise && answerRaise() ? raisedAnswer : busyAnswer);
            socket->disconnectFromServer();
        });
    }
}

SingleApplication::PrimaryReply SingleApplication::askPrimaryToRaise(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(channelPath());
    if (!socket.waitForConnected(timeoutMs))
        return PrimaryReply::none;
    socket.write(raiseRequest);
    if (!socket.waitForBytesWritten(timeoutMs))
        return PrimaryReply::none;
    QByteArray reply;
    while (!reply.contains('\n') && reply.size() < 64 && socket.waitForReadyRead(timeoutMs))
        reply += socket.read(64 - reply.size());
    if (reply == raisedAnswer)
        return PrimaryReply::raised;
    if (reply == busyAnswer)
        return PrimaryReply::busy;
    return PrimaryReply::none;
}
