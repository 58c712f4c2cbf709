#pragma once

#include "services/GuidanceText.h"

#include <QString>
#include <QStringList>

class QLocale;

// The one text provider of the program. The tables are process-wide: every instance reads and
// replaces the same texts. GUI thread only.
class LanguageTexts {
public:
    static constexpr int languageCount = 24;
    static constexpr int englishIndex = 6;
    static constexpr int trayCount = 11;
    static constexpr int configCount = 34;
    static constexpr int calibWindowCount = 5;
    static constexpr int messageCount = 27;
    static constexpr int guidanceCount = 49;

    // Chooses a language (saved id 1..24, else the system locale, else English) and reads its table.
    void loadLanguage(int savedId);
    // As loadLanguage, with the locale given instead of the system's (used by tests).
    void loadLanguage(int savedId, const QLocale& systemLocale);
    // Reads the texts of one language table file (INI text, UTF-8) into the process-wide tables;
    // keys the file lacks become empty texts. The chosen language stays as it is.
    static void loadTableFile(const QString& tablePath);

    QString getTrayMenuText(int i) const;
    QString getConfigText(int i) const;
    QString getCalibWindowText(int i) const;
    static QString getMessageText(int i);
    // A guidance text of the chosen language; empty for an id outside the table.
    static QString guidance(GuidanceText id);
    QString getLanguageName(int i) const;
    int getLanguageIndex() const;
    bool isRightToLeft() const;

    // Three-letter code of a language index ("ENU" for 6); empty outside 0..23.
    static QString languageCode(int index);
    // The locale of a language index, for numbers in its texts (English outside 0..23).
    static QLocale localeOf(int index);
    // Language index the locale selects, or -1 when no table matches it.
    static int languageIndexForLocale(const QLocale& locale);
};
