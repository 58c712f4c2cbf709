// The settings window in each language: its texts, the right-to-left mirror, the language choice
// and the font face a language starts with.
#include "MainDlgTestFixture.h"
#include "MainDlgWidgets.h"
#include "services/LanguageTexts.h"
#include "services/ParagraphDirection.h"
#include "tests/support/FakeDisplays.h"
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

TEST_F(MainDlgTest, EnglishTexts) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080)});
    MainDlg dialog(&texts);
    dialog.applyLanguage();
    const MainDlgWidgets form(dialog);
    const auto* ui = &form;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Vexaro Configuration"));
    EXPECT_EQ(ui->groupBasic->title(), texts.getConfigText(3));
    EXPECT_EQ(ui->checkCeiling->text(), texts.getConfigText(18));
    EXPECT_EQ(ui->checkRear->text(), texts.getConfigText(19));
    EXPECT_EQ(ui->groupLanguage->title(), texts.getConfigText(21));
    EXPECT_EQ(ui->labelUse->text(), texts.getConfigText(22));
    EXPECT_EQ(ui->labelSel_1->text(), texts.getConfigText(23));
    EXPECT_EQ(ui->radioPen->text(), QStringLiteral("Pen Mode"));
    EXPECT_EQ(ui->radioFinger->text(), QStringLiteral("Finger Touch Mode"));
    EXPECT_EQ(ui->groupLens->title(), texts.getConfigText(24));
    EXPECT_EQ(ui->labelSel_2->text(), texts.getConfigText(23));
    ASSERT_EQ(ui->comboLens->count(), 2);
    EXPECT_EQ(ui->comboLens->itemText(0),
              QStringLiteral("-- ") + texts.getConfigText(23) + QStringLiteral(" --"));
    EXPECT_EQ(ui->comboLens->itemData(0).toInt(), 0);
    EXPECT_EQ(ui->comboLens->itemText(1), texts.getConfigText(17));
    EXPECT_EQ(ui->comboLens->itemData(1).toInt(), 3);
    ASSERT_EQ(ui->comboLanguage->count(), 25);
    EXPECT_EQ(ui->comboLanguage->itemText(7), QStringLiteral("English"));
    EXPECT_EQ(ui->comboLanguage->currentIndex(), 7);
    EXPECT_EQ(ui->labelUseL->text(), QStringLiteral("English"));
    EXPECT_EQ(ui->groupAdjust->title(), texts.getConfigText(25));
    EXPECT_EQ(plain(ui->textEditInfo1),
              texts.getMessageText(8) + QLatin1Char('\n') + texts.getMessageText(9));
    EXPECT_EQ(ui->pushView->text(), QStringLiteral("Alignment View"));
    EXPECT_EQ(ui->groupCalib->title(), texts.getConfigText(26));
    EXPECT_EQ(ui->labelInfo3->text(), texts.getMessageText(10));
    // Lens 3 offers tuning, so the tuning hint is part of the text.
    EXPECT_EQ(plain(ui->textEditInfo3), texts.getMessageText(12) + QLatin1Char('\n') +
                                            texts.getMessageText(20) + QLatin1Char('\n') +
                                            texts.getMessageText(11));
    EXPECT_EQ(ui->pushAutoCalib->text(), QStringLiteral("Auto"));
    EXPECT_EQ(ui->pushManualCalib->text(), QStringLiteral("Manual"));
    EXPECT_EQ(ui->checkSemiAutoCalib->text(), texts.getConfigText(29));
    EXPECT_EQ(ui->pushClose->text(), QStringLiteral("Close"));
    EXPECT_EQ(ui->groupMode->title(), QStringLiteral("Mode"));
    EXPECT_EQ(ui->pushTCDebug->text(), QStringLiteral("D"));
    EXPECT_EQ(ui->groupCalib->layoutDirection(), Qt::LeftToRight);
    EXPECT_EQ(ui->textEditInfo1->document()->firstBlock().blockFormat().lineHeight(), 20.0);
    EXPECT_EQ(ui->textEditInfo1->document()->firstBlock().blockFormat().alignment(), Qt::AlignJustify);
    for (const QString& text : {dialog.windowTitle(), ui->checkCeiling->text(), ui->pushClose->text()})
        EXPECT_FALSE(text.isEmpty());
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
