#include "RecordFile.h"

#include <QFileInfo>

bool RecordFile::open(const QString& path, QString& error) {
    const QFileInfo info(path);
    // A directory, FIFO or device would be replaced by, or block on, the record.
    if (info.exists() && !info.isFile()) {
        error = QStringLiteral("cannot write the record to %1: not a regular file").arg(path);
        return false;
    }
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("cannot write the record to %1: %2").arg(path, file_.errorString());
        return false;
    }
    return true;
}

bool RecordFile::write(const QByteArray& record, QString& error) {
    if (file_.write(record) != record.size() || !file_.commit()) {
        error =
            QStringLiteral("cannot write the record to %1: %2").arg(file_.fileName(), file_.errorString());
        return false;
    }
    return true;
}
