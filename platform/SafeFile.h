#pragma once

#include <QByteArray>
#include <QString>
#include <sys/types.h>

// Reading and replacing small files in folders that another user may share: nothing here follows
// a link, opens anything but a regular file, or blocks on a FIFO or device planted in its place.
class SafeFile {
public:
    // Whether a link at the path itself is refused (folders others may write) or followed (a file
    // the user named).
    enum class Links { Refuse, Follow };
    struct Read {
        QByteArray content;
        uid_t owner = 0;
    };

    // The whole of a regular file of at most maxBytes; false with a reason otherwise (missing, a
    // refused link, a FIFO, a device, a folder, too large, unreadable).
    static bool read(const QString& path, qint64 maxBytes, Read& out, QString& why,
                     Links links = Links::Refuse);

    // Replaces the file with content: written to a fresh file beside it and renamed into place, so
    // a reader sees the old content or the new, never a part. Refuses when the entry there is not a
    // regular file (a link included) or belongs to another user than this one or root.
    static bool replace(const QString& path, const QByteArray& content, QString& why);
};
