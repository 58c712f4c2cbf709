// Choosing the language: saved id, system locale, fallbacks, and the getters' bounds.
#include "services/LanguageTexts.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace {
int chosenIndex(int savedId, const QLocale& locale) {
    LanguageTexts texts;
    texts.loadLanguage(savedId, locale);
    return texts.getLanguageIndex();
}
} // namespace

TEST(LanguageTexts, SavedIdWinsOverTheLocale) {
    EXPECT_EQ(chosenIndex(4, QLocale(QLocale::German)), 3);
    EXPECT_EQ(chosenIndex(1, QLocale(QLocale::English)), 0);
    EXPECT_EQ(chosenIndex(24, QLocale(QLocale::English)), 23);
}

TEST(LanguageTexts, UnusableSavedIdFallsBackToTheLocale) {
    for (int savedId : {0, -1, 25, 1000, -7})
        EXPECT_EQ(chosenIndex(savedId, QLocale(QLocale::German)), 10) << savedId;
}

TEST(LanguageTexts, ChineseRegionsChooseTraditionalOrSimplified) {
    EXPECT_EQ(chosenIndex(-1, QLocale(QLocale::Chinese, QLocale::Taiwan)), 3);
    EXPECT_EQ(chosenIndex(-1, QLocale(QLocale::Chinese, QLocale::HongKong)), 3);
    EXPECT_EQ(chosenIndex(-1, QLocale(QLocale::Chinese, QLocale::China)), 2);
    EXPECT_EQ(chosenIndex(-1, QLocale(QLocale::Chinese, QLocale::Singapore)), 2);
    EXPECT_EQ(chosenIndex(-1, QLocale(QLocale::Chinese, QLocale::Macau)), 2);
}

TEST(LanguageTexts, LocalesWithoutATableChooseEnglish) {
    EXPECT_EQ(chosenIndex(-1, QLocale(QLocale::Dutch)), LanguageTexts::englishIndex);
    EXPECT_EQ(chosenIndex(-1, QLocale(QLocale::Swahili)), LanguageTexts::englishIndex);
}

TEST(LanguageTexts, EveryListedLocaleSelectsItsTable) {
    const QLocale::Language order[] = {
        QLocale::Arabic,          QLocale::Bulgarian, QLocale::Chinese,    QLocale::Chinese,
        QLocale::Czech,           QLocale::Danish,    QLocale::English,    QLocale::Persian,
        QLocale::Finnish,         QLocale::French,    QLocale::German,     QLocale::Indonesian,
        QLocale::Italian,         QLocale::Japanese,  QLocale::Korean,     QLocale::Lithuanian,
        QLocale::NorwegianBokmal, QLocale::Polish,    QLocale::Portuguese, QLocale::Romanian,
        QLocale::Russian,         QLocale::Spanish,   QLocale::Swedish,    QLocale::Hebrew};
    for (int i = 0; i < 24; ++i) {
        if (i == 3)
            continue; // Traditional Chinese is chosen by region, above.
        EXPECT_EQ(chosenIndex(-1, QLocale(order[i])), i) << i;
    }
}

TEST(LanguageTexts, RightToLeftExactlyForArabicFarsiAndHebrew) {
    LanguageTexts texts;
    for (int id = 1; id <= 24; ++id) {
        texts.loadLanguage(id, QLocale(QLocale::English));
        const bool expected = id == 1 || id == 8 || id == 24;
        EXPECT_EQ(texts.isRightToLeft(), expected) << id;
    }
}

TEST(LanguageTexts, GettersReturnEmptyTextOutsideTheirSection) {
    LanguageTexts texts;
    texts.loadLanguage(7, QLocale(QLocale::English));
    EXPECT_EQ(LanguageTexts::getMessageText(26), QStringLiteral("Please press again to exit."));
    EXPECT_TRUE(LanguageTexts::getMessageText(27).isEmpty());
    EXPECT_TRUE(LanguageTexts::getMessageText(-1).isEmpty());
    EXPECT_TRUE(texts.getConfigText(34).isEmpty());
    EXPECT_EQ(texts.getConfigText(33), QStringLiteral("Software Version"));
    EXPECT_EQ(texts.getConfigText(30), QStringLiteral("BRIGHTNESS"));
    EXPECT_EQ(texts.getConfigText(29), QStringLiteral("Tuning"));
    EXPECT_EQ(texts.getTrayMenuText(10), QStringLiteral("Close"));
    EXPECT_TRUE(texts.getTrayMenuText(11).isEmpty());
    EXPECT_EQ(texts.getCalibWindowText(0), QStringLiteral("Calibration"));
    EXPECT_TRUE(texts.getCalibWindowText(5).isEmpty());
    EXPECT_EQ(texts.getLanguageName(6), QStringLiteral("English"));
    EXPECT_TRUE(texts.getLanguageName(24).isEmpty());
    EXPECT_TRUE(texts.getLanguageName(-1).isEmpty());
}

TEST(LanguageTexts, ASwitchReplacesEveryText) {
    LanguageTexts texts;
    texts.loadLanguage(24, QLocale(QLocale::English)); // Hebrew
    ASSERT_TRUE(texts.isRightToLeft());
    texts.loadLanguage(7, QLocale(QLocale::English));
    EXPECT_EQ(texts.getConfigText(0), QStringLiteral("Vexaro Configuration"));
    EXPECT_FALSE(texts.isRightToLeft());
    for (int i = 0; i < LanguageTexts::messageCount; ++i)
        EXPECT_FALSE(LanguageTexts::getMessageText(i).isEmpty()) << i;
}
