#include "app/ConfigFile.h"

#include "platform/Platform.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

QString ConfigFile::path() {
    // The folder comes back as 8-bit text in a 260-byte buffer on the original platform; keep the
    // same bound so an over-long folder name behaves the same way.
    QByteArray folder = Platform::commonAppDataFolder().toLatin1().left(259);
    return QString::fromLatin1(folder) + QStringLiteral("/Norvale/Vexaro/") + QStringLiteral("config.ini");
}

int ConfigFile::readLanguageId() {
    const QString file = path();
    if (!QFileInfo::exists(file))
        return -1;
    QSettings settings(file, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    settings.beginGroup(QStringLiteral("Configuration"));
    const QVariant value = settings.value(QStringLiteral("LanguageID"));
    settings.endGroup();
    if (!value.isValid())
        return -1;
    return value.toString().trimmed().toInt();
}

void ConfigFile::writeLanguageId(int languageIndex) {
    const QString file = path();
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSettings settings(file, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    settings.beginGroup(QStringLiteral("Configuration"));
    settings.setValue(QStringLiteral("LanguageID"), QString::asprintf("%d", languageIndex + 1));
    settings.endGroup();
    settings.sync();
}
