#include "platform/SafeFile.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString errnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool writeAll(int fd, const QByteArray& content) {
    const char* p = content.constData();
    qint64 left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        left -= n;
    }
    return true;
}

} // namespace

bool SafeFile::read(const QString& path, qint64 maxBytes, Read& out, QString& why, Links links) {
    const QByteArray name = QFile::encodeName(path);
    maxBytes = std::clamp<qint64>(maxBytes, 0, std::numeric_limits<int>::max() - 1); // QByteArray's bound
    // O_NONBLOCK: a FIFO opens at once instead of waiting for a writer, and is refused below.
    const int fd = ::open(name.constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | (links == Links::Refuse ? O_NOFOLLOW : 0));
    if (fd < 0) {
        why = errno == ELOOP ? QStringLiteral("%1 is a link").arg(path)
                             : QStringLiteral("cannot open %1: %2").arg(path, errnoText());
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (!ok)
        why = QStringLiteral("cannot examine %1: %2").arg(path, errnoText());
    else if (!S_ISREG(st.st_mode))
        why = QStringLiteral("%1 is not a regular file").arg(path), ok = false;
    else if (st.st_size > maxBytes)
        why = QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(maxBytes), ok = false;
    if (ok) {
        // The size may change after fstat: never take more than the bound.
        QByteArray content(static_cast<int>(maxBytes) + 1, Qt::Uninitialized);
        qint64 got = 0;
        while (got < content.size()) {
            const ssize_t n = ::read(fd, content.data() + got, static_cast<size_t>(content.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                why = QStringLiteral("cannot read %1: %2").arg(path, errnoText());
                ok = false;
            }
            if (n <= 0)
                break;
            got += n;
        }
        if (ok && got > maxBytes) {
            why = QStringLiteral("%1 is larger than %2 bytes").arg(path).arg(maxBytes);
            ok = false;
        }
        if (ok) {
            content.truncate(static_cast<int>(got));
            out.content = content;
            out.owner = st.st_uid;
        }
    }
    ::close(fd);
    return ok;
}

bool SafeFile::replace(const QString& path, const QByteArray& content, QString& why) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(name.constData(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) {
            why = QStringLiteral("%1 is not a regular file").arg(path);
            return false;
        }
        if (st.st_uid != ::geteuid() && st.st_uid != 0) {
            why = QStringLiteral("%1 belongs to another user").arg(path);
            return false;
        }
    } else if (errno != ENOENT) {
        why = QStringLiteral("cannot examine %1: %2").arg(path, errnoText());
        return false;
    }
    // mkstemp creates its file exclusively, so nothing planted under the name is written through.
    QByteArray temporary = name + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        why = QStringLiteral("cannot create a file beside %1: %2").arg(path, errnoText());
        return false;
    }
    bool ok = ::fchmod(fd, 0644) == 0 && writeAll(fd, content) && ::fsync(fd) == 0;
    if (!ok)
        why = QStringLiteral("cannot write beside %1: %2").arg(path, errnoText());
    ::close(fd);
    // rename replaces the entry itself, never what a link there points to.
    if (ok && ::rename(temporary.constData(), name.constData()) != 0) {
        why = QStringLiteral("cannot replace %1: %2").arg(path, errnoText());
        ok = false;
    }
    if (!ok)
        ::unlink(temporary.constData());
    return ok;
}
