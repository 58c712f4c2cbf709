// A message box with the longest message lies whole on the screen at the scale this program runs
// at, in English and in a right-to-left language.
#include "services/LanguageTexts.h"
#include "tests/scaling/ScaledScreen.h"
#include "tests/support/LayoutCheck.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <gtest/gtest.h>

TEST(MessageWindowsLayout, LongestMessageLiesWholeOnTheScreen) {
    // The platform's own screen: a message box places and sizes itself for it.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    for (int id : {LanguageTexts::englishIndex + 1, 24}) {
        LanguageTexts texts;
        texts.loadLanguage(id);
        SCOPED_TRACE(LanguageTexts::languageCode(id - 1).toStdString());

        QMessageBox box(QMessageBox::Information, QStringLiteral("Vexaro"), LanguageTexts::getMessageText(24),
                        QMessageBox::Ok);
        box.show();
        box.move(screen.topLeft());
        EXPECT_EQ(LayoutCheck().problems(&box, screen), QStringList()) << "x" << scalingFactor();
    }
    LanguageTexts english;
    english.loadLanguage(LanguageTexts::englishIndex + 1);
}
