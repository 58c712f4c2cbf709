#include "app/LanguageTexts.h"

#include <QLocale>
#include <gtest/gtest.h>

TEST(LanguageTexts, SavedIdSelectsLanguage) {
    LanguageTexts texts;
    texts.loadLanguage(7, QLocale(QLocale::German));
    EXPECT_EQ(texts.getLanguageIndex(), 6);
    EXPECT_EQ(LanguageTexts::getMessageText(1), QStringLiteral("Vexaro is already run."));
}
