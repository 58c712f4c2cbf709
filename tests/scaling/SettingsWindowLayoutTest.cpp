// The settings window at the scale this program runs at, on a 1920 x 1080 display: nothing cut,
// nothing on top of another, everything inside its box and the window on the screen, in the
// languages with the longest texts and in those written right to left.
#include "services/LanguageTexts.h"
#include "tests/scaling/ScaledScreen.h"
#include "tests/support/FakeDisplays.h"
#include "tests/support/LayoutCheck.h"
#include "ui/MainDlg.h"

#include <gtest/gtest.h>

namespace {

QStringList settingsWindowProblems(int savedId, bool lensChosen) {
    LanguageTexts texts;
    texts.loadLanguage(savedId);
    MainDlg dialog(&texts);
    dialog.move(logicalScreen().topLeft());
    dialog.show();
    dialog.applyLanguage();
    dialog.changeUIState(true);
    dialog.setDeviceOptions(0, 0, 0, lensChosen ? 3 : 0);
    QStringList problems = LayoutCheck().problems(&dialog, logicalScreen());
    // The status line keeps a readable font, and keeps clear of Close beside it.
    const QWidget* status = dialog.findChild<QWidget*>(QStringLiteral("labelConnection"));
    const QWidget* close = dialog.findChild<QWidget*>(QStringLiteral("pushClose"));
    if (status->font().pixelSize() < dialog.font().pixelSize() * 0.85)
        problems << QStringLiteral("the status line's font is %1 px of %2")
                        .arg(status->font().pixelSize())
                        .arg(dialog.font().pixelSize());
    const bool sameRow =
        status->geometry().bottom() >= close->y() && status->y() <= close->geometry().bottom();
    if (sameRow && close->x() - status->geometry().right() < 8)
        problems << QStringLiteral("the status line touches Close");
    return problems;
}

} // namespace

TEST(SettingsWindowLayout, WholeAndApartOnTheScreenInEveryLanguageWithAndWithoutAModel) {
    // The offscreen platform's screen is the logical 1920 x 1080 display at this factor.
    auto guard = FakeDisplays::install({logicalScreen()}, 96.0);
    for (int savedId = 1; savedId <= LanguageTexts::languageCount; ++savedId) {
        for (bool lensChosen : {true, false}) {
            const QStringList problems = settingsWindowProblems(savedId, lensChosen);
            EXPECT_TRUE(problems.isEmpty())
                << "x" << scalingFactor() << " " << LanguageTexts::languageCode(savedId - 1).toStdString()
                << (lensChosen ? " with" : " without") << " a model:\n"
                << problems.join(QLatin1Char('\n')).toStdString();
        }
    }
    LanguageTexts english;
    english.loadLanguage(LanguageTexts::englishIndex + 1);
}
