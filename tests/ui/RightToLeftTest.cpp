// In Arabic, Persian and Hebrew the settings window reads from the right: the calibration row runs
// Auto, Tuning, Manual from the right with the Tuning box beside Auto, and every sentence is laid
// out right to left and stands at the right, also one that begins with the Latin name "Vexaro".
#include "MainDlgWidgets.h"
#include "services/LanguageTexts.h"
#include "tests/support/FakeDisplays.h"
#include "ui/MainDlg.h"
#include "ui/ModuleStatusView.h"

#include <QImage>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextBlock>
#include <gtest/gtest.h>

namespace {

constexpr int arabicId = 1;
constexpr int persianId = 8;
constexpr int hebrewId = 24;
constexpr int englishId = LanguageTexts::englishIndex + 1;

// The check box's square, in its parent's coordinates, where the style draws it.
QRect indicatorInParent(const QCheckBox* box) {
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect r = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    return r.translated(box->pos());
}

// The first and last column holding dark ink of a widget as drawn.
QPair<int, int> inkColumns(QWidget* widget) {
    const QImage image = widget->grab().toImage();
    int first = image.width();
    int last = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                first = qMin(first, x);
                last = qMax(last, x);
            }
        }
    }
    return {first, last};
}

class RightToLeftTest : public ::testing::Test {
protected:
    void TearDown() override { texts.loadLanguage(englishId); }
    LanguageTexts texts;
};

} // namespace

TEST_F(RightToLeftTest, TuningBoxStaysBesideAutoAndTheRowReadsFromTheRight) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080)});
    for (int id : {arabicId, persianId, hebrewId, englishId}) {
        SCOPED_TRACE(LanguageTexts::languageCode(id - 1).toStdString());
        texts.loadLanguage(id);
        MainDlg dialog(&texts);
        dialog.show();
        dialog.applyLanguage();
        dialog.changeUIState(true);
        dialog.setDeviceOptions(0, 0, 0, 3); // the model with tuning: Auto, Tuning, Manual
        const MainDlgWidgets ui(dialog);
        const bool rtl = id != englishId;
        const QRect autoRect = ui.pushAutoCalib->geometry();
        const QRect manualRect = ui.pushManualCalib->geometry();
        const QRect square = indicatorInParent(ui.checkSemiAutoCalib);
        // Auto comes first in the reading direction, Manual after the box.
        EXPECT_EQ(autoRect.x() > manualRect.x(), rtl);
        const int toAuto = rtl ? autoRect.left() - square.right() : square.left() - autoRect.right();
        const int toManual = rtl ? square.left() - manualRect.right() : manualRect.left() - square.right();
        EXPECT_GE(toAuto, 0);
        EXPECT_LT(toAuto, toManual) << "the box's square stands beside Auto";

        // Without tuning and back: the buttons keep the language's order.
        dialog.setDeviceOptions(0, 0, 0, 0);
        EXPECT_EQ(ui.pushAutoCalib->x() > ui.pushManualCalib->x(), rtl);
        dialog.setDeviceOptions(0, 0, 0, 3);
        EXPECT_EQ(ui.pushAutoCalib->geometry(), autoRect);
        EXPECT_EQ(ui.checkSemiAutoCalib->geometry().left() < autoRect.left(), rtl);
    }
}

TEST_F(RightToLeftTest, SentencesRunRightToLeftAndStandAtTheRightEvenWhenTheyBeginWithVexaro) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080)});
    for (int id : {arabicId, persianId, hebrewId}) {
        SCOPED_TRACE(LanguageTexts::languageCode(id - 1).toStdString());
        texts.loadLanguage(id);
        MainDlg dialog(&texts);
        dialog.show();
        dialog.applyLanguage();
        dialog.changeUIState(true);
        const MainDlgWidgets ui(dialog);

        // "Vexaro offers two kinds of calibration." in the language: the full stop at the left.
        EXPECT_TRUE(ui.labelInfo3->text().isRightToLeft());
        const QPair<int, int> ink = inkColumns(ui.labelInfo3);
        ASSERT_GE(ink.second, ink.first);
        EXPECT_LT(ui.labelInfo3->width() - 1 - ink.second, ink.first) << "the sentence stands at the right";

        for (QTextEdit* box : {ui.textEditInfo1, ui.textEditInfo3}) {
            for (QTextBlock block = box->document()->begin(); block.isValid(); block = block.next())
                EXPECT_EQ(block.textDirection(), Qt::RightToLeft)
                    << box->objectName().toStdString() << ": " << block.text().toStdString();
        }

        // The status line's sentence, which begins with the name in all three languages.
        dialog.changeUIState(false);
        dialog.showModuleProblem(ModuleProblem::noHidInterface);
        const auto* status = dialog.findChild<ModuleStatusView*>(QStringLiteral("labelConnection"));
        ASSERT_NE(status, nullptr);
        EXPECT_TRUE(status->message().startsWith(QLatin1String("Vexaro")));
        EXPECT_TRUE(status->text().isRightToLeft());
        EXPECT_EQ(QStyle::visualAlignment(status->layoutDirection(), status->alignment()) & Qt::AlignRight,
                  Qt::AlignRight);
    }
}
