#include "RegularFile.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Closes the descriptor on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd)
        : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

QString systemReason() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

bool RegularFile::read(const QString& path, qint64 maxBytes, QByteArray& bytes, QString& error) {
    // Non-blocking, so that opening a FIFO without a writer returns at once instead of waiting.
    const Descriptor file(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0) {
        error = QStringLiteral("cannot read %1: %2").arg(path, systemReason());
        return false;
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) {
        error = QStringLiteral("cannot read %1: %2").arg(path, systemReason());
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        error = QStringLiteral("%1 is not a regular file").arg(path);
        return false;
    }
    // QByteArray holds at most 2 GiB.
    maxBytes = std::min<qint64>(maxBytes, std::numeric_limits<int>::max());
    if (status.st_size > maxBytes) {
        error = QStringLiteral("%1 holds %2 bytes, more than the %3 accepted")
                    .arg(path)
                    .arg(static_cast<qint64>(status.st_size))
                    .arg(maxBytes);
        return false;
    }
    const int size = static_cast<int>(status.st_size);
    QByteArray content(size, Qt::Uninitialized);
    int done = 0;
    while (done < size) {
        const ssize_t got = ::read(file.get(), content.data() + done, static_cast<size_t>(size - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = QStringLiteral("cannot read %1: %2").arg(path, systemReason());
            return false;
        }
        if (got == 0) {
            error = QStringLiteral("%1 shrank while it was read").arg(path);
            return false;
        }
        done += static_cast<int>(got);
    }
    bytes = content;
    return true;
}
