#include "ProcessProbe.h"

#include <QDir>
#include <QFile>
#include <cstdlib>
#include <cstring>

namespace {
int entriesIn(const QString& folder) {
    return static_cast<int>(
        QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}
} // namespace

long ProcessProbe::residentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    // One line "VmRSS:    12345 kB"; read without building anything that would itself stay resident.
    char line[256];
    while (status.readLine(line, sizeof line) > 0) {
        if (std::strncmp(line, "VmRSS:", 6) == 0)
            return std::strtol(line + 6, nullptr, 10);
    }
    return -1;
}

int ProcessProbe::openFileDescriptors() {
    // The listing itself holds one descriptor open while it runs, every time alike.
    return entriesIn(QStringLiteral("/proc/self/fd"));
}

int ProcessProbe::threadCount() {
    return entriesIn(QStringLiteral("/proc/self/task"));
}
