#include "services/ConfigFile.h"

#include "platform/Platform.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <atomic>
#include <unistd.h>

// Why the language choice went to the per-user file (QT_LOGGING_RULES="vexaro.app.config.info=true").
Q_LOGGING_CATEGORY(lcConfig, "vexaro.app.config", QtWarningMsg)

namespace {

const QString kRelativePath = QStringLiteral("/Norvale/Vexaro/config.ini");
const QByteArray kGroup = QByteArrayLiteral("[Configuration]");
const QByteArray kKey = QByteArrayLiteral("LanguageID");
// A file written by the program holds two short lines; anything much larger was not written by it.
constexpr qint64 kMaxFileBytes = 64 * 1024;

std::atomic<bool> fallbackReported{false};

QByteArray trimmedLine(const QByteArray& line) {
    QByteArray t = line.trimmed();
    if (t.startsWith("\xEF\xBB\xBF")) // a byte-order mark before the first line
        t = t.mid(3).trimmed();
    return t;
}

bool isSection(const QByteArray& t) {
    return t.startsWith('[') && t.endsWith(']');
}

// The key of a "key=value" line, or empty.
QByteArray keyOf(const QByteArray& t) {
    const int eq = t.indexOf('=');
    return eq <= 0 ? QByteArray() : t.left(eq).trimmed();
}

// The saved id in INI text: -1 without the key, 0 for a value that is not a number. The last
// LanguageID of a [Configuration] section counts, as with Qt's own INI reader.
int languageIdIn(const QByteArray& text) {
    bool inGroup = false;
    QByteArray value;
    bool found = false;
    for (const QByteArray& line : text.split('\n')) {
        const QByteArray t = trimmedLine(line);
        if (isSection(t)) {
            inGroup = t == kGroup;
        } else if (inGroup && keyOf(t) == kKey) {
            value = t.mid(t.indexOf('=') + 1).trimmed();
            if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
                value = value.mid(1, value.size() - 2).trimmed();
            found = true;
        }
    }
    if (!found)
        return -1;
    bool ok = false;
    const int id = value.toInt(&ok);
    return ok ? id : 0;
}

// The text with LanguageID set to id in the first [Configuration] section; every other line kept.
QByteArray withLanguageId(const QByteArray& text, int id) {
    const QByteArray entry = kKey + '=' + QByteArray::number(id);
    QList<QByteArray> out;
    bool inGroup = false;
    bool written = false;
    const QList<QByteArray> lines = text.isEmpty() ? QList<QByteArray>() : text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray t = trimmedLine(lines[i]);
        if (i == lines.size() - 1 && lines[i].isEmpty())
            break; // the final newline
        if (isSection(t))
            inGroup = t == kGroup;
        else if (inGroup && keyOf(t) == kKey)
            continue;
        out << lines[i];
        if (inGroup && isSection(t) && !written) {
            out << entry;
            written = true;
        }
    }
    if (!written)
        out << kGroup << entry;
    return out.join('\n') + '\n';
}

struct Found {
    bool usable = false; // a regular file of bounded size that could be read
    uid_t owner = 0;
    QByteArray text;
};

Found look(const QString& path) {
    Found f;
    SafeFile::Read read;
    QString why;
    if (SafeFile::read(path, kMaxFileBytes, read, why)) {
        f.usable = true;
        f.owner = read.owner;
        f.text = read.content;
    } else if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) {
        qCInfo(lcConfig).noquote() << "configuration file ignored:" << why;
    }
    return f;
}

// Empty when the value reached the disk, else why it did not.
QString writeTo(const QString& file, int languageId) {
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create the folder %1").arg(folder);
    const Found existing = look(file);
    QString why;
    SafeFile::replace(file, withLanguageId(existing.text, languageId), why);
    return why;
}

} // namespace

QString ConfigFile::path() {
    // Paths on Linux are UTF-8 bytes of any length: the folder is taken whole, as decoded.
    return Platform::commonAppDataFolder() + kRelativePath;
}

QString ConfigFile::userPath() {
    // The same layout as the all-users file, so the two can be told apart only by their root.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + kRelativePath;
}

int ConfigFile::readLanguageId() {
    const Found common = look(path());
    const Found user = look(userPath());
    const int userId = user.usable ? languageIdIn(user.text) : -1;
    // The all-users file is this user's own latest choice only while this user owns it and may
    // replace it; otherwise a choice the user made wins over what someone else put there.
    const bool commonIsOwn =
        common.usable && common.owner == ::geteuid() &&
        ::access(QFile::encodeName(QFileInfo(path()).absolutePath()).constData(), W_OK) == 0;
    if (userId != -1 && !commonIsOwn)
        return userId;
    if (common.usable)
        return languageIdIn(common.text);
    return userId;
}

void ConfigFile::writeLanguageId(int languageIndex) {
    const int languageId = languageIndex + 1;
    // Written only when the choice changed: an unchanged run leaves every file as it was.
    if (readLanguageId() == languageId)
        return;
    const QString why = writeTo(path(), languageId);
    if (why.isEmpty())
        return;
    const QString fallback = userPath();
    if (!fallbackReported.exchange(true)) {
        qCInfo(lcConfig).noquote()
            << QStringLiteral("Language choice not saved for all users (%1); kept in %2").arg(why, fallback);
    }
    writeTo(fallback, languageId);
}
