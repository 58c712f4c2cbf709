#pragma once

#include <QDir>

// Threads of this process (Linux /proc), to see that an object ended every thread it started.
inline int processThreadCount() {
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}
