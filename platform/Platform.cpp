#include "platform/Platform.h"

#include "platform/QtDisplayProvider.h"

#include <QByteArray>
#include <QFile>
#include <QFont>

namespace {
std::unique_ptr<DisplayProvider>& installedProvider() {
    static std::unique_ptr<DisplayProvider> provider;
    return provider;
}
} // namespace

const DisplayProvider& Platform::displays() {
    static const QtDisplayProvider qtDisplays;
    const auto& provider = installedProvider();
    if (provider)
        return *provider;
    return qtDisplays;
}

void Platform::setDisplayProvider(std::unique_ptr<DisplayProvider> provider) {
    installedProvider() = std::move(provider);
}

QString Platform::commonAppDataFolder() {
    const QByteArray relocated = qgetenv("VEXARO_COMMON_APPDATA");
    // Decoded as the file system names files, so any folder the variable can name is found.
    if (!relocated.isEmpty())
        return QFile::decodeName(relocated);
    return QStringLiteral("/var/lib");
}

QString Platform::dialogFontFamily(int languageIndex) {
    constexpr int koreanIndex = 14;
    if (languageIndex == koreanIndex)
        return isLegacyDesktop() ? QString::fromUtf8("Gulim") : QString::fromUtf8("Malgun Gothic");
    return QStringLiteral("Tahoma");
}

void Platform::installFontSubstitutes() {
    // The Windows faces the dialogs name are not installed here; map them onto faces that are,
    // with CJK, Arabic and Hebrew coverage behind them.
    const QStringList latin = {QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans"),
                               QStringLiteral("Noto Sans CJK KR"), QStringLiteral("Noto Sans Arabic"),
                               QStringLiteral("Noto Sans Hebrew")};
    QFont::insertSubstitutions(QStringLiteral("Tahoma"), latin);
    QFont::insertSubstitutions(QStringLiteral("Arial"), latin);
    QStringList korean = {QStringLiteral("Noto Sans CJK KR"), QStringLiteral("DejaVu Sans")};
    QFont::insertSubstitutions(QStringLiteral("Malgun Gothic"), korean);
    QFont::insertSubstitutions(QStringLiteral("Gulim"), korean);
}
