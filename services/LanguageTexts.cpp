#include "services/LanguageTexts.h"

#include <QFile>
#include <QLocale>
#include <QSettings>

namespace {

struct LanguageEntry {
    const char* code;
    QLocale::Language language;
};

// Index order is the order of the settings window's language box and of the saved id.
constexpr LanguageEntry languages[LanguageTexts::languageCount] = {
    {"ARA", QLocale::Arabic},     {"BUL", QLocale::Bulgarian},       {"CHS", QLocale::Chinese},
    {"CHT", QLocale::Chinese},    {"CES", QLocale::Czech},           {"DAN", QLocale::Danish},
    {"ENU", QLocale::English},    {"FAR", QLocale::Persian},         {"FIN", QLocale::Finnish},
    {"FRA", QLocale::French},     {"DEU", QLocale::German},          {"IND", QLocale::Indonesian},
    {"ITA", QLocale::Italian},    {"JPN", QLocale::Japanese},        {"KOR", QLocale::Korean},
    {"LTU", QLocale::Lithuanian}, {"NOR", QLocale::NorwegianBokmal}, {"PLK", QLocale::Polish},
    {"PTB", QLocale::Portuguese}, {"ROM", QLocale::Romanian},        {"RUS", QLocale::Russian},
    {"ESN", QLocale::Spanish},    {"SWE", QLocale::Swedish},         {"HEB", QLocale::Hebrew},
};

QStringList blankTexts(int count) {
    QStringList list;
    for (int i = 0; i < count; ++i)
        list.append(QString());
    return list;
}

struct Tables {
    int index = LanguageTexts::englishIndex;
    QStringList tray = blankTexts(LanguageTexts::trayCount);
    QStringList config = blankTexts(LanguageTexts::configCount);
    QStringList calibWindow = blankTexts(LanguageTexts::calibWindowCount);
    QStringList messages = blankTexts(LanguageTexts::messageCount);
    QStringList guidance = blankTexts(LanguageTexts::guidanceCount);
    QStringList names = blankTexts(LanguageTexts::languageCount);
};

Tables& tables() {
    static Tables t;
    return t;
}

QString at(const QStringList& list, int i) {
    if (i < 0 || i >= list.size())
        return QString();
    return list.at(i);
}

void readSection(QSettings& settings, const QString& group, const QString& keyPrefix, QStringList& out) {
    settings.beginGroup(group);
    for (int i = 0; i < out.size(); ++i)
        out[i] = settings.value(keyPrefix + QString::number(i + 1)).toString();
    settings.endGroup();
}

} // namespace

QString LanguageTexts::languageCode(int index) {
    if (index < 0 || index >= languageCount)
        return QString();
    return QString::fromLatin1(languages[index].code);
}

QLocale LanguageTexts::localeOf(int index) {
    if (index < 0 || index >= languageCount)
        return QLocale(QLocale::English);
    return QLocale(languages[index].language);
}

int LanguageTexts::languageIndexForLocale(const QLocale& locale) {
    for (int i = 0; i < languageCount; ++i) {
        if (languages[i].language != locale.language())
            continue;
        if (languages[i].language == QLocale::Chinese) {
            const QString tag = locale.bcp47Name();
            const bool traditional = tag.compare(QLatin1String("zh-TW"), Qt::CaseInsensitive) == 0 ||
                                     tag.compare(QLatin1String("zh-HK"), Qt::CaseInsensitive) == 0 ||
                                     locale.country() == QLocale::Taiwan ||
                                     locale.country() == QLocale::HongKong;
            return traditional ? 3 : 2;
        }
        return i;
    }
    return -1;
}

void LanguageTexts::loadLanguage(int savedId) {
    loadLanguage(savedId, QLocale::system());
}

void LanguageTexts::loadLanguage(int savedId, const QLocale& systemLocale) {
    Tables& t = tables();
    int index = englishIndex;
    if (savedId > 0 && savedId <= languageCount) {
        index = savedId - 1;
    } else {
        const int fromLocale = languageIndexForLocale(systemLocale);
        if (fromLocale >= 0)
            index = fromLocale;
    }

    QString resource = QStringLiteral(":/Language/l_") + languageCode(index);
    if (!QFile::exists(resource)) {
        index = englishIndex;
        resource = QStringLiteral(":/Language/l_ENU");
    }
    t.index = index;
    loadTableFile(resource);

    QSettings names(QStringLiteral(":/Language/l_Idx"), QSettings::IniFormat);
    names.setIniCodec("UTF-8");
    readSection(names, QStringLiteral("Language"), QStringLiteral("L"), t.names);
}

void LanguageTexts::loadTableFile(const QString& tablePath) {
    Tables& t = tables();
    QSettings table(tablePath, QSettings::IniFormat);
    table.setIniCodec("UTF-8");
    readSection(table, QStringLiteral("TRAY ICON MENU"), QStringLiteral("T"), t.tray);
    readSection(table, QStringLiteral("CONFIGURATION"), QStringLiteral("C"), t.config);
    readSection(table, QStringLiteral("CALIBRATION WINDOW"), QStringLiteral("CW"), t.calibWindow);
    readSection(table, QStringLiteral("MESSAGEBOX"), QStringLiteral("M"), t.messages);
    readSection(table, QStringLiteral("GUIDANCE"), QStringLiteral("G"), t.guidance);
}

QString LanguageTexts::getTrayMenuText(int i) const {
    return at(tables().tray, i);
}

QString LanguageTexts::getConfigText(int i) const {
    return at(tables().config, i);
}

QString LanguageTexts::getCalibWindowText(int i) const {
    return at(tables().calibWindow, i);
}

QString LanguageTexts::getMessageText(int i) {
    return at(tables().messages, i);
}

QString LanguageTexts::guidance(GuidanceText id) {
    return at(tables().guidance, static_cast<int>(id) - 1);
}

QString LanguageTexts::getLanguageName(int i) const {
    return at(tables().names, i);
}

int LanguageTexts::getLanguageIndex() const {
    return tables().index;
}

bool LanguageTexts::isRightToLeft() const {
    const int index = tables().index;
    return index == 0 || index == 7 || index == 23;
}
