#pragma once

#include <QByteArray>
#include <QString>

// A file the user names is read only when it is a regular file of a bounded size: a FIFO, a
// device or a directory would block the tool or feed it without end.
class RegularFile {
public:
    // All of path when it is a regular file of at most maxBytes; false with a reason naming it.
    static bool read(const QString& path, qint64 maxBytes, QByteArray& bytes, QString& error);
};
