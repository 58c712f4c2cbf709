#include "platform/SafeFolder.h"

#include <QFile>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// Empties the folder open as fd (which this call closes) and everything below it.
bool emptyFolder(int fd, int depth) {
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return false;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    bool ok = true;
    for (const std::string& name : names) {
        struct stat st {};
        if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = ok && errno == ENOENT;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            // O_NOFOLLOW: if the folder was swapped for a link since fstatat, the open fails.
            const int child = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (depth > 64 || child < 0 || !emptyFolder(child, depth + 1)) {
                ok = false;
                continue;
            }
            ok = ::unlinkat(fd, name.c_str(), AT_REMOVEDIR) == 0 && ok;
        } else {
            ok = ::unlinkat(fd, name.c_str(), 0) == 0 && ok;
        }
    }
    ::closedir(dir);
    return ok;
}

} // namespace

QString SafeFolder::makeFresh(const QString& prefix) {
    QByteArray name = QFile::encodeName(prefix) + "XXXXXX";
    if (!::mkdtemp(name.data()))
        return QString();
    return QFile::decodeName(name);
}

bool SafeFolder::removeTree(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(st.st_mode))
        return ::unlink(name.constData()) == 0;
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 || !emptyFolder(fd, 0))
        return false;
    return ::rmdir(name.constData()) == 0;
}
