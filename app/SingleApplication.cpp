#include "app/SingleApplication.h"

#include <QSharedMemory>

SingleApplication::SingleApplication(int& argc, char** argv)
    : QApplication(argc, argv)
    , guard(new QSharedMemory(QString::fromLatin1(guardKey()), this)) {}

SingleApplication::~SingleApplication() {
    if (guard->isAttached())
        guard->detach();
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
