// The shipped language tables: format, key order and the English wording the program relies on.
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

const QStringList codes = {"ARA", "BUL", "CHS", "CHT", "CES", "DAN", "ENU", "FAR",
                           "FIN", "FRA", "DEU", "IND", "ITA", "JPN", "KOR", "LTU",
                           "NOR", "PLK", "PTB", "ROM", "RUS", "ESN", "SWE", "HEB"};

QByteArray resourceBytes(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// Keys of a table in file order, read line by line.
QStringList keysInOrder(const QByteArray& bytes) {
    QStringList keys;
    const QString text = QString::fromUtf8(bytes);
    for (const QString& line : text.split(QStringLiteral("\r\n"))) {
        const int eq = line.indexOf(QLatin1Char('='));
        if (line.startsWith(QLatin1Char('[')) || eq < 0)
            continue;
        keys.append(line.left(eq).trimmed());
    }
    return keys;
}

QString englishValue(const QString& section, const QString& key) {
    QSettings table(QStringLiteral(":/Language/l_ENU"), QSettings::IniFormat);
    table.setIniCodec("UTF-8");
    return table.value(section + QLatin1Char('/') + key).toString();
}

} // namespace

TEST(LanguageTables, EveryTableIsUtf8WithBomCrlfAndTheSame131KeysInOrder) {
    const QStringList english = keysInOrder(resourceBytes(QStringLiteral(":/Language/l_ENU")));
    ASSERT_EQ(english.size(), 131);
    for (const QString& code : codes) {
        SCOPED_TRACE(code.toStdString());
        const QByteArray bytes = resourceBytes(QStringLiteral(":/Language/l_") + code);
        ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
        EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n")) << "every line ends with CR LF";
        EXPECT_EQ(keysInOrder(bytes), english);
    }
}

TEST(LanguageTables, EveryUsedTextIsPresentInEveryLanguage) {
    const QList<QPair<QString, QString>> sections = {{"TRAY ICON MENU", "T%1"},
                                                     {"CONFIGURATION", "C%1"},
                                                     {"CALIBRATION WINDOW", "CW%1"},
                                                     {"MESSAGEBOX", "M%1"},
                                                     {"GUIDANCE", "G%1"}};
    const int counts[] = {11, 34, 5, 27, 38};
    for (const QString& code : codes) {
        SCOPED_TRACE(code.toStdString());
        QSettings table(QStringLiteral(":/Language/l_") + code, QSettings::IniFormat);
        table.setIniCodec("UTF-8");
        for (int s = 0; s < sections.size(); ++s) {
            for (int i = 1; i <= counts[s]; ++i) {
                const QString key = sections[s].first + QLatin1Char('/') + sections[s].second.arg(i);
                // An unquoted comma would make the reader see a list and the text empty.
                EXPECT_FALSE(table.value(key).toString().isEmpty()) << key.toStdString();
            }
        }
        // The alignment view's AV mode line, numbered apart from the guidance texts before it.
        EXPECT_TRUE(table.value(QStringLiteral("GUIDANCE/G41")).toString().contains(QStringLiteral("%1")));
        // Guidance numbered apart from the run above: the unplugged alignment view, the two ends
        // of a cancelled calibration, and the analysis's own two.
        for (int id : {45, 46, 47, 48, 49}) {
            const QString key = QStringLiteral("GUIDANCE/G%1").arg(id);
            EXPECT_FALSE(table.value(key).toString().isEmpty()) << key.toStdString();
        }
    }
}

// The settings window's own names (the mode box, the two versions) and why calibration waits for
// a model: present everywhere, translated, and the model hint names the model box.
TEST(LanguageTables, SettingsWindowNamesAndModelHintAreTranslated) {
    QSettings english(QStringLiteral(":/Language/l_ENU"), QSettings::IniFormat);
    english.setIniCodec("UTF-8");
    // "Mode" is the French and Indonesian word too.
    const QStringList modeIsMode = {"ENU", "FRA", "IND"};
    for (const QString& code : codes) {
        SCOPED_TRACE(code.toStdString());
        QSettings table(QStringLiteral(":/Language/l_") + code, QSettings::IniFormat);
        table.setIniCodec("UTF-8");
        for (const char* key :
             {"CONFIGURATION/C32", "CONFIGURATION/C33", "CONFIGURATION/C34", "GUIDANCE/G43"}) {
            const QString text = table.value(key).toString();
            EXPECT_FALSE(text.isEmpty()) << key;
            const bool mayReadAsEnglish = code == QLatin1String("ENU") ||
                                          (modeIsMode.contains(code) && QByteArray(key).endsWith("C32"));
            if (!mayReadAsEnglish) {
                EXPECT_NE(text, english.value(key).toString()) << key;
            }
        }
        EXPECT_TRUE(table.value("GUIDANCE/G43").toString().contains(QLatin1String("%1")));
    }
}

TEST(LanguageTables, TranslationsAreNotCopiesOfEnglish) {
    QSettings english(QStringLiteral(":/Language/l_ENU"), QSettings::IniFormat);
    english.setIniCodec("UTF-8");
    for (const QString& code : codes) {
        if (code == QLatin1String("ENU"))
            continue;
        SCOPED_TRACE(code.toStdString());
        QSettings table(QStringLiteral(":/Language/l_") + code, QSettings::IniFormat);
        table.setIniCodec("UTF-8");
        int same = 0;
        int total = 0;
        for (const char* section : {"CONFIGURATION", "MESSAGEBOX", "CALIBRATION WINDOW", "GUIDANCE"}) {
            table.beginGroup(section);
            english.beginGroup(section);
            for (const QString& key : english.childKeys()) {
                ++total;
                if (table.value(key).toString() == english.value(key).toString())
                    ++same;
            }
            table.endGroup();
            english.endGroup();
        }
        // The host name and a few words such as "Auto" may read the same in another language; a
        // table left in English would match all of them.
        EXPECT_LE(same, 10) << same << " of " << total << " texts are still English";
    }
}

TEST(LanguageTables, EnglishKeepsTheWordingThatOtherPartsQuote) {
    EXPECT_EQ(englishValue("MESSAGEBOX", "M2"), QStringLiteral("Vexaro Setup is already running."));
    EXPECT_EQ(englishValue("MESSAGEBOX", "M14"), QStringLiteral("Calibration failed. Please try again."));
    EXPECT_EQ(englishValue("MESSAGEBOX", "M25"),
              QStringLiteral("Auto Calibration Tuning failed. Proceeded as normal Auto Calibration."));
    EXPECT_EQ(englishValue("MESSAGEBOX", "M21"),
              QString::fromUtf8(
                  "  \xE2\x9C\x93 Auto Calibration Tuning [to improve the accuracy of Auto Calibration]"));
    EXPECT_EQ(
        englishValue("MESSAGEBOX", "M9"),
        QString::fromUtf8("\xE2\x80\xBB Click 'Alignment view' then Alignment view will be displayed."));
    EXPECT_EQ(englishValue("CALIBRATION WINDOW", "CW4"),
              QStringLiteral("Press 'Delete' or 'BackSpace' key to go back to previous mark."));
    EXPECT_EQ(englishValue("CONFIGURATION", "C18"), QStringLiteral("Ultra Short Throw"));
    EXPECT_EQ(englishValue("TRAY ICON MENU", "T11"), QStringLiteral("Close"));
}

TEST(LanguageTables, IndexTableNamesEveryLanguageInItsOwnScript) {
    QSettings index(QStringLiteral(":/Language/l_Idx"), QSettings::IniFormat);
    index.setIniCodec("UTF-8");
    EXPECT_EQ(index.value("Language/L7").toString(), QStringLiteral("English"));
    EXPECT_EQ(index.value("Language/L15").toString(),
              QString::fromUtf8("\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4"));
    // Simplified Chinese in simplified characters (U+7B80 U+4F53), not the traditional U+7C21.
    EXPECT_EQ(index.value("Language/L3").toString(),
              QString::fromUtf8("\xE7\xAE\x80\xE4\xBD\x93\xE4\xB8\xAD\xE6\x96\x87"));
    EXPECT_EQ(index.value("Language/L4").toString(),
              QString::fromUtf8("\xE7\xB9\x81\xE9\xAB\x94\xE4\xB8\xAD\xE6\x96\x87"));
    for (int i = 1; i <= 24; ++i)
        EXPECT_FALSE(index.value(QStringLiteral("Language/L%1").arg(i)).toString().isEmpty()) << i;
}
