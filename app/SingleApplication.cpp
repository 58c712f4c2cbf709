#include "app/SingleApplication.h"

#include <QSharedMemory>
#include <unistd.h>

namespace {
// The display this session draws on: the Wayland socket, else the X display, else none (a
// console session).
QString displaySession() {
    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (!wayland.isEmpty())
        return QStringLiteral("wayland:") + wayland;
    return qEnvironmentVariable("DISPLAY");
}
} // namespace

SingleApplication::SingleApplication(int& argc, char** argv)
    : QApplication(argc, argv)
    , guard(new QSharedMemory(guardKey(), this)) {}

SingleApplication::~SingleApplication() {
    if (guard->isAttached())
        guard->detach();
}

QString SingleApplication::guardKey() {
    return guardKeyFor(static_cast<unsigned int>(::getuid()), displaySession());
}

QString SingleApplication::guardKeyFor(unsigned int userId, const QString& session) {
    return QStringLiteral("Vexaro/%1/%2").arg(userId).arg(session);
}

bool SingleApplication::isPrimaryInstance() {
    return claimGuard(*guard);
}

bool SingleApplication::claimGuard(QSharedMemory& segment) {
    if (segment.attach(QSharedMemory::ReadOnly)) {
        segment.detach();
        // On Unix a segment outlives a process that crashed while holding it. Qt removes a
        // segment when its last attachment detaches, so if nobody else was attached the detach
        // above removed the stale guard, whose owner is gone: look once more.
        if (segment.attach(QSharedMemory::ReadOnly)) {
            segment.detach();
            return false;
        }
    }
    return segment.create(1, QSharedMemory::ReadWrite);
}
