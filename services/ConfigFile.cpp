#include "services/ConfigFile.h"

#include "platform/Platform.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSettings>
#include <QStandardPaths>
#include <atomic>

// Why the language choice went to the per-user file (QT_LOGGING_RULES="vexaro.app.config.info=true").
Q_LOGGING_CATEGORY(lcConfig, "vexaro.app.config", QtWarningMsg)

namespace {

const QString kRelativePath = QStringLiteral("/Norvale/Vexaro/config.ini");

std::atomic<bool> fallbackReported{false};

int readFrom(const QString& file) {
    QSettings settings(file, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    settings.beginGroup(QStringLiteral("Configuration"));
    const QVariant value = settings.value(QStringLiteral("LanguageID"));
    settings.endGroup();
    if (!value.isValid())
        return -1;
    return value.toString().trimmed().toInt();
}

// Empty when the value reached the disk, else why it did not.
QString writeTo(const QString& file, int languageId) {
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create the folder %1").arg(folder);
    QSettings settings(file, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    settings.beginGroup(QStringLiteral("Configuration"));
    settings.setValue(QStringLiteral("LanguageID"), QString::asprintf("%d", languageId));
    settings.endGroup();
    settings.sync();
    if (settings.status() == QSettings::AccessError)
        return QStringLiteral("no permission to write %1").arg(file);
    if (settings.status() != QSettings::NoError)
        return QStringLiteral("cannot parse %1").arg(file);
    return QString();
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
    const QFileInfo common(path());
    const QFileInfo user(userPath());
    // A per-user file exists only because the all-users one could not be written; while that is
    // still so, it holds this user's latest choice. Saving replaces the file, so its folder counts.
    const bool commonWritable =
        common.isFile() && common.isWritable() && QFileInfo(common.absolutePath()).isWritable();
    if (user.isFile() && !commonWritable)
        return readFrom(user.filePath());
    if (common.exists())
        return readFrom(common.filePath());
    return -1;
}

void ConfigFile::writeLanguageId(int languageIndex) {
    const int languageId = languageIndex + 1;
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
