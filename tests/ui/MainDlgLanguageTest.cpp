// The settings window in each language: what it reads as, the right-to-left mirror, the language choice
// and the font face a language starts with.
#include "MainDlgTestFixture.h"
#include "MainDlgWidgets.h"
#include "services/LanguageTexts.h"
#include "services/ParagraphDirection.h"
#include "tests/support/FakeDisplays.h"
#include "tests/support/ScreenText.h"
#include "ui/MainDlg.h"

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <gtest/gtest.h>

namespace {

constexpr int arabicIndex = 0;

} // namespace

// What a user reads on the English window, taken from its pixels at 200 %: the system's own
// texts, each on screen once the window shows.
TEST_F(MainDlgTest, EnglishWindowReadsBackOnScreen) {
    auto guard = FakeDisplays::install({QRect(0, 0, 2560, 1600)}, 192.0);
    MainDlg dialog(&texts);
    dialog.applyLanguage();
    dialog.changeUIState(true);
    const MainDlgWidgets form(dialog);
    const auto* ui = &form;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Vexaro Configuration"));
    // The lens list starts with its prompt (no lens) and offers the ultra short throw lens, 3.
    ASSERT_EQ(ui->comboLens->count(), 2);
    EXPECT_EQ(ui->comboLens->itemData(0).toInt(), 0);
    EXPECT_EQ(ui->comboLens->itemData(1).toInt(), 3);
    ASSERT_EQ(ui->comboLanguage->count(), 25);
    EXPECT_EQ(ui->comboLanguage->currentText(), QStringLiteral("English"));
    EXPECT_EQ(ui->groupCalib->layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(ui->textEditInfo1->document()->firstBlock().blockFormat().alignment(), Qt::AlignJustify);

    if (!ScreenText::available())
        GTEST_SKIP() << "tesseract is not installed";
    dialog.show();
    const QString seen = ScreenText::read(dialog.grab().toImage());
    for (const char* text :
         {"Mode", "Pen Mode", "Finger Touch Mode", "Select Language", "Current Language", "English",
          "Ceiling Mount Mode", "Rear Screen Mode", "Model Selection", "-- Select --", "Alignment View",
          "Calibration", "Vexaro provides two kinds of calibration methods.", "Auto", "Manual", "Tuning",
          "Close", "Software Version"})
        EXPECT_TRUE(seen.contains(QLatin1String(text))) << text << "\nread: " << seen.toStdString();
}

TEST_F(MainDlgTest, ArabicTextsMirrorTheGroupBoxesOnly) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080)});
    MainDlg dialog(&texts);
    texts.loadLanguage(arabicIndex + 1);
    ASSERT_TRUE(texts.isRightToLeft());
    dialog.applyLanguage();
    const MainDlgWidgets form(dialog);
    const auto* ui = &form;
    EXPECT_EQ(dialog.windowTitle(), texts.getConfigText(0));
    EXPECT_EQ(ui->checkCeiling->text(), texts.getConfigText(18));
    EXPECT_EQ(ui->radioFinger->text(), texts.getTrayMenuText(5));
    EXPECT_EQ(ui->pushView->text(), texts.getTrayMenuText(1));
    EXPECT_EQ(ui->pushClose->text(), texts.getTrayMenuText(10));
    EXPECT_EQ(ui->labelUseL->text(), texts.getLanguageName(arabicIndex));
    EXPECT_EQ(ui->comboLanguage->currentIndex(), 1);
    EXPECT_EQ(plain(ui->textEditInfo1),
              texts.getMessageText(8) + QLatin1Char('\n') + texts.getMessageText(9));
    EXPECT_EQ(ParagraphDirection::withoutMarks(ui->labelInfo3->text()), texts.getMessageText(10));
    EXPECT_EQ(ui->pushAutoCalib->text(), texts.getConfigText(15));
    EXPECT_EQ(ui->comboLens->itemText(1), texts.getConfigText(17));
    for (const QWidget* group :
         {ui->groupMode, ui->groupBasic, ui->groupLanguage, ui->groupAdjust, ui->groupCalib, ui->groupLens})
        EXPECT_EQ(group->layoutDirection(), Qt::RightToLeft) << group->objectName().toStdString();
    EXPECT_EQ(dialog.layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(ui->pushClose->layoutDirection(), Qt::LeftToRight);

    texts.loadLanguage(LanguageTexts::englishIndex + 1);
    dialog.applyLanguage();
    EXPECT_EQ(ui->groupLens->layoutDirection(), Qt::LeftToRight);
}

TEST_F(MainDlgTest, ChoosingALanguageLoadsIt) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080)});
    MainDlg dialog(&texts);
    dialog.applyLanguage();
    auto* combo = MainDlgWidgets(dialog).comboLanguage;
    combo->setCurrentIndex(0);
    EXPECT_EQ(texts.getLanguageIndex(), LanguageTexts::englishIndex);
    combo->setCurrentIndex(11); // German
    EXPECT_EQ(texts.getLanguageIndex(), 10);
    EXPECT_EQ(MainDlgWidgets(dialog).labelUseL->text(), texts.getLanguageName(10));
    EXPECT_EQ(combo->currentIndex(), 11);
    // The font chosen at start-up stays.
    EXPECT_EQ(dialog.font().family(), QStringLiteral("Tahoma"));
}

TEST_F(MainDlgTest, StartingInKoreanUsesTheKoreanFace) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080)});
    texts.loadLanguage(15);
    MainDlg korean(&texts);
    EXPECT_EQ(korean.font().family(), QStringLiteral("Malgun Gothic"));
    texts.loadLanguage(LanguageTexts::englishIndex + 1);
    MainDlg english(&texts);
    EXPECT_EQ(english.font().family(), QStringLiteral("Tahoma"));
}
