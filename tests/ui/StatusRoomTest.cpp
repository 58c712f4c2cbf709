// The settings window's status room: why the module cannot be used and what to do, in the chosen
// language, and the expected pointing accuracy after a calibration until the user's next action.
#include "MainDlgWidgets.h"
#include "services/LanguageTexts.h"
#include "tests/support/FakeDisplays.h"
#include "ui/MainDlg.h"
#include "ui/ModuleStatusView.h"
#include "ui/PermissionAdvice.h"

#include <gtest/gtest.h>

namespace {

constexpr int arabicIndex = 0;
constexpr int germanIndex = 10;

class StatusRoomTest : public ::testing::Test {
protected:
    void SetUp() override { texts.loadLanguage(LanguageTexts::englishIndex + 1); }
    void TearDown() override { texts.loadLanguage(LanguageTexts::englishIndex + 1); }
    LanguageTexts texts;
};

// The guidance, or where the language's table lacks it, the state line the tables always had.
QString problemText(GuidanceText text) {
    const QString guidance = LanguageTexts::guidance(text);
    return !guidance.isEmpty() ? guidance
                               : LanguageTexts::getMessageText(14) + QStringLiteral(" : ") +
                                     LanguageTexts::getMessageText(16);
}

ModuleStatusView* statusOf(const MainDlg& dialog) {
    return dialog.findChild<ModuleStatusView*>(QStringLiteral("labelConnection"));
}

// The room lies in the window, clear of every other shown widget, and tall enough for its text.
void expectRoomFits(const MainDlg& dialog) {
    const ModuleStatusView* view = statusOf(dialog);
    EXPECT_TRUE(dialog.rect().contains(view->geometry()));
    EXPECT_GE(view->height(), view->heightForWidth(view->width()));
    for (QWidget* other : dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (other != view && !other->isHidden()) {
            EXPECT_FALSE(other->geometry().intersects(view->geometry())) << other->objectName().toStdString();
        }
    }
}

} // namespace

TEST_F(StatusRoomTest, SaysWhyTheModuleCannotBeUsedAtEveryScaleAndDirection) {
    struct Case {
        ModuleProblem problem;
        GuidanceText text;
    };
    const Case cases[] = {{ModuleProblem::noModule, GuidanceText::NoModule},
                          {ModuleProblem::noPermission, PermissionAdvice::ruleInstalledHere()
                                                            ? GuidanceText::RuleNotApplied
                                                            : GuidanceText::NoPermission},
                          {ModuleProblem::noHidInterface, GuidanceText::NoHidInterface}};
    for (int language : {LanguageTexts::englishIndex, arabicIndex}) {
        for (double dpi : {96.0, 144.0, 192.0}) {
            SCOPED_TRACE(QStringLiteral("language %1 at %2 dpi").arg(language).arg(dpi).toStdString());
            texts.loadLanguage(language + 1);
            // Until a table has the guidance, the English sentences stand in, so the strip is
            // still laid out right to left.
            if (LanguageTexts::guidance(GuidanceText::NoPermission).isEmpty())
                LanguageTexts::loadTableFile(QStringLiteral(":/Language/l_ENU"));
            auto guard = FakeDisplays::install({QRect(0, 0, 3840, 2160)}, dpi);
            MainDlg dialog(&texts);
            dialog.applyLanguage();
            const QSize designed = dialog.size();
            ModuleStatusView* view = statusOf(dialog);
            ASSERT_NE(view, nullptr);
            for (const Case& c : cases) {
                dialog.showModuleProblem(c.problem);
                dialog.changeUIState(false);
                EXPECT_EQ(view->message(), problemText(c.text));
                const bool guided = !LanguageTexts::guidance(c.text).isEmpty();
                EXPECT_EQ(view->tone(),
                          guided ? ModuleStatusView::Tone::problem : ModuleStatusView::Tone::plain);
                // Only a missing permission has a command, and it is the untranslated udev one.
                EXPECT_EQ(view->command().contains(QLatin1String("udevadm")),
                          guided && c.problem == ModuleProblem::noPermission);
                if (!view->command().isEmpty()) {
                    EXPECT_TRUE(view->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
                }
                expectRoomFits(dialog);
                EXPECT_EQ(view->layoutDirection(),
                          language == arabicIndex ? Qt::RightToLeft : Qt::LeftToRight);
            }
            // Opened: the plain state again, and the window back to its designed size.
            dialog.changeUIState(true);
            EXPECT_EQ(view->message(), LanguageTexts::getMessageText(14) + QStringLiteral(" : ") +
                                           LanguageTexts::getMessageText(15));
            EXPECT_EQ(dialog.size(), designed);
        }
    }
}

TEST_F(StatusRoomTest, LanguageBoxStaysUsableAndTheGuidanceFollowsIt) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080)});
    MainDlg dialog(&texts);
    dialog.applyLanguage();
    const MainDlgWidgets ui(dialog);
    dialog.showModuleProblem(ModuleProblem::noModule);
    dialog.changeUIState(false);
    ASSERT_TRUE(ui.comboLanguage->isEnabled());
    const QString english = statusOf(dialog)->message();
    ui.comboLanguage->setCurrentIndex(germanIndex + 1); // as the user picks it
    ASSERT_EQ(texts.getLanguageIndex(), germanIndex);
    EXPECT_EQ(statusOf(dialog)->message(), problemText(GuidanceText::NoModule));
    EXPECT_NE(statusOf(dialog)->message(), english);
    expectRoomFits(dialog);
}

TEST_F(StatusRoomTest, AccuracyStaysUntilTheUsersNextAction) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080)});
    MainDlg dialog(&texts);
    dialog.applyLanguage();
    dialog.changeUIState(true);
    const MainDlgWidgets ui(dialog);
    const QString connected = statusOf(dialog)->message();

    dialog.showCalibrationStored(PointingAccuracy(1.26, 2));
    EXPECT_EQ(statusOf(dialog)->message(),
              QStringLiteral(
                  "Expected pointing accuracy: 1.3 px (good), least accurate near the top right corner."));
    EXPECT_TRUE(dialog.statusText().isEmpty()) << "no transient tick beside it";
    expectRoomFits(dialog);
    // In German the decimal comma (the English sentences stand in for the German table's); a poor
    // figure says so in the problem colour.
    ui.comboLanguage->setCurrentIndex(germanIndex + 1);
    LanguageTexts::loadTableFile(QStringLiteral(":/Language/l_ENU"));
    dialog.showCalibrationStored(PointingAccuracy(4.04, 6));
    EXPECT_TRUE(statusOf(dialog)->message().contains(QStringLiteral("4,0")));
    EXPECT_TRUE(
        statusOf(dialog)->message().contains(LanguageTexts::guidance(GuidanceText::RegionBottomLeft)));
    EXPECT_EQ(statusOf(dialog)->tone(), ModuleStatusView::Tone::problem);
    ui.comboLanguage->setCurrentIndex(LanguageTexts::englishIndex + 1);
    EXPECT_TRUE(statusOf(dialog)->message().contains(QStringLiteral("4.0 px (poor: recalibrate)")));

    // A change of a setting ends it; so does a start, and a module that leaves.
    ui.checkCeiling->click();
    EXPECT_EQ(statusOf(dialog)->message(), connected);
    dialog.showCalibrationStored(PointingAccuracy(0.4, 4));
    EXPECT_TRUE(statusOf(dialog)->message().contains(QStringLiteral("(excellent)")));
    ui.pushView->click();
    EXPECT_EQ(statusOf(dialog)->message(), connected);
    dialog.showCalibrationStored(PointingAccuracy(0.4, 4));
    dialog.changeUIState(false);
    dialog.changeUIState(true);
    EXPECT_EQ(statusOf(dialog)->message(), connected);

    // A run that could not tell its accuracy: the transient tick as before.
    dialog.showCalibrationStored(PointingAccuracy());
    EXPECT_EQ(dialog.statusText(), QStringLiteral("\u2713 Calibration"));
}

// The watcher says the same every cycle: a selection the user is making in the command survives it.
TEST_F(StatusRoomTest, RepeatedProblemKeepsTheSelection) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080)});
    LanguageTexts::loadTableFile(QStringLiteral(":/Language/l_ENU"));
    MainDlg dialog(&texts);
    dialog.applyLanguage();
    dialog.showModuleProblem(ModuleProblem::noPermission);
    dialog.changeUIState(false);
    ModuleStatusView* view = statusOf(dialog);
    if (view->command().isEmpty())
        GTEST_SKIP() << "no udev rule found on this system";
    view->setSelection(0, 10);
    ASSERT_TRUE(view->hasSelectedText());
    dialog.showModuleProblem(ModuleProblem::noPermission);
    dialog.changeUIState(false);
    EXPECT_TRUE(view->hasSelectedText());
}

// A notice (the unplugged alignment view, a cancelled calibration) comes before the connection
// state, fits at every scale in both directions, follows a change of language and goes when cleared.
TEST_F(StatusRoomTest, NoticesFitAndFollowTheLanguageUntilCleared) {
    const GuidanceText notices[] = {GuidanceText::AlignmentClosedUnplugged,
                                    GuidanceText::CancelledPreviousKept, GuidanceText::CancelledNewStored};
    for (int language : {LanguageTexts::englishIndex, arabicIndex, germanIndex}) {
        for (double dpi : {96.0, 144.0, 192.0}) {
            SCOPED_TRACE(QStringLiteral("language %1 at %2 dpi").arg(language).arg(dpi).toStdString());
            texts.loadLanguage(language + 1);
            auto guard = FakeDisplays::install({QRect(0, 0, 3840, 2160)}, dpi);
            MainDlg dialog(&texts);
            dialog.applyLanguage();
            const QSize designed = dialog.size();
            ModuleStatusView* view = statusOf(dialog);
            for (GuidanceText notice : notices) {
                dialog.showModuleProblem(ModuleProblem::noModule);
                dialog.changeUIState(false);
                dialog.showNotice(notice);
                ASSERT_FALSE(LanguageTexts::guidance(notice).isEmpty());
                EXPECT_EQ(view->message(), LanguageTexts::guidance(notice));
                expectRoomFits(dialog);
                EXPECT_EQ(view->layoutDirection(),
                          language == arabicIndex ? Qt::RightToLeft : Qt::LeftToRight);
            }
            dialog.clearNotice();
            EXPECT_EQ(view->message(), problemText(GuidanceText::NoModule));
            dialog.changeUIState(true);
            EXPECT_EQ(dialog.size(), designed);
        }
    }
    texts.loadLanguage(LanguageTexts::englishIndex + 1);
    MainDlg dialog(&texts);
    dialog.applyLanguage();
    dialog.showNotice(GuidanceText::CancelledPreviousKept);
    texts.loadLanguage(germanIndex + 1);
    dialog.applyLanguage();
    EXPECT_EQ(statusOf(dialog)->message(), LanguageTexts::guidance(GuidanceText::CancelledPreviousKept));
    EXPECT_TRUE(statusOf(dialog)->message().startsWith(QStringLiteral("Kalibrierung")));
}
