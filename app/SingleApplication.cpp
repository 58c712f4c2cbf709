#include "app/SingleApplication.h"

#include <QDir>
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
    if (!channel)
        channel = new InstanceChannel(this);
    // This process holds the guard, so a socket left at the path is a crashed instance's.
    if (!channel->listen(channelPath(), std::move(answer)))
        qCWarning(lcInstance) << "cannot listen for other instances at" << channelPath();
}

InstanceChannel::Reply SingleApplication::askPrimaryToRaise(int timeoutMs) {
    return InstanceChannel::ask(channelPath(), timeoutMs);
}
