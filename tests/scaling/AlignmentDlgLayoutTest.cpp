// The alignment view on a 1920 x 1080 display at this run's scale factor, in every language, with
// and without the AV mode line: each shown widget whole, inside the view, apart from the others,
// and clear of the image and the painted black border.
#include "platform/Pacing.h"
#include "services/LanguageTexts.h"
#include "tests/scaling/ScaledScreen.h"
#include "tests/support/FakeDisplays.h"
#include "tests/support/LayoutCheck.h"
#include "ui/AlignmentDlg.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class AlignmentDlgLayoutTest : public ::testing::Test {
protected:
    void SetUp() override { Pacing::setScale(0.01); }
    void TearDown() override {
        Pacing::setScale(1.0);
        texts.loadLanguage(LanguageTexts::englishIndex + 1);
        QApplication::setLayoutDirection(Qt::LeftToRight);
    }
    LanguageTexts texts;
};

QString describe(const QRect& r) {
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

} // namespace

TEST_F(AlignmentDlgLayoutTest, EveryLanguageFitsInsideTheBorder) {
    auto guard = FakeDisplays::install({logicalScreen()});
    LayoutCheck check;
    // The gain panel's frame is drawn behind its caption, slider and number.
    for (const char* inPanel : {"label_7", "hSlideAlignmentViewGain", "numObjAlignmentViewGain"})
        check.allowOverlap(QStringLiteral("frame"), QString::fromLatin1(inPanel));
    for (int id = 1; id <= LanguageTexts::languageCount; ++id) {
        texts.loadLanguage(id);
        QApplication::setLayoutDirection(texts.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
        SCOPED_TRACE(LanguageTexts::languageCode(texts.getLanguageIndex()).toStdString());
        AlignmentDlg view;
        view.display(true);
        view.show();
        if (id % 2 == 0)
            QTest::keyClick(&view, Qt::Key_F11); // the AV mode line in half the languages
        EXPECT_EQ(view.geometry(), logicalScreen());
        const QStringList problems = check.problems(&view, logicalScreen());
        EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();

        // The black border reaches 75 pixels in from each edge; the classic places assume 1920
        // pixels and put OK on the image at a factor of 2.
        const QRect inside = logicalScreen().adjusted(75, 75, -75, -75);
        for (const char* name : {"label", "pushButton", "frame", "label_7", "hSlideAlignmentViewGain",
                                 "numObjAlignmentViewGain", "labelMode"}) {
            const QWidget* widget = view.findChild<QWidget*>(QString::fromLatin1(name));
            if (widget->isVisible()) {
                EXPECT_TRUE(inside.contains(widget->geometry()))
                    << name << " at " << describe(widget->geometry()).toStdString();
            }
        }
        EXPECT_GE(view.findChild<QWidget*>(QStringLiteral("label"))->width(), 400)
            << "the image stays useful";
    }
}
