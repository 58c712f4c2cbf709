#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>
#include <cstddef>
#include <cstdint>

// Shared by the fuzz targets that reach Qt: one application object for the whole run, a private
// folder for the files the code under test reads and writes, and a failed check that libFuzzer
// records as a finding.
namespace fuzz_support {

inline void ensureApplication() {
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)app;
}

// In memory when the machine has /dev/shm: a file rewritten on a disk file system is flushed to the
// disk at each truncation (and Qt's settings file syncs on every save), which made each input cost
// a disk round trip. The code under test still reads and writes real files.
inline QString workFolderTemplate() {
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    if (shm.isDir() && shm.isWritable())
        return QStringLiteral("/dev/shm/vexaro-fuzz-XXXXXX");
    return QDir::tempPath() + QStringLiteral("/vexaro-fuzz-XXXXXX");
}

inline const QString& workFolder() {
    static QTemporaryDir dir(workFolderTemplate());
    static const QString path = dir.path();
    return path;
}

// Each input's file gets a modification time of its own: Qt's settings cache takes a file of the
// same size and time stamp (milliseconds) as unchanged, and would give the last input's contents.
inline bool writeFile(const QString& path, const std::uint8_t* data, std::size_t size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    if (file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) !=
        static_cast<qint64>(size))
        return false;
    static qint64 stamp = QDateTime::currentMSecsSinceEpoch() - 1000LL * 3600 * 24 * 365;
    ++stamp;
    return file.setFileTime(QDateTime::fromMSecsSinceEpoch(stamp), QFileDevice::FileModificationTime);
}

// qFatal aborts, so libFuzzer keeps the input as a crash reproducer.
[[noreturn]] inline void fail(const char* what) {
    qFatal("fuzz check failed: %s", what);
}

} // namespace fuzz_support
