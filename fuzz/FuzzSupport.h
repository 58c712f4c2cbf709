#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
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

inline const QString& workFolder() {
    static QTemporaryDir dir;
    static const QString path = dir.path();
    return path;
}

inline bool writeFile(const QString& path, const std::uint8_t* data, std::size_t size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) ==
           static_cast<qint64>(size);
}

// qFatal aborts, so libFuzzer keeps the input as a crash reproducer.
[[noreturn]] inline void fail(const char* what) {
    qFatal("fuzz check failed: %s", what);
}

} // namespace fuzz_support
