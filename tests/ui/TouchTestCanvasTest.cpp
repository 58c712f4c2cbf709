#include "ui/TouchTestCanvas.h"
#include "services/LanguageTexts.h"
#include "tests/support/FakeDisplays.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QtMath>
#include <gtest/gtest.h>

namespace {

class TouchTestCanvasTest : public ::testing::Test {
protected:
    void SetUp() override { texts.loadLanguage(LanguageTexts::englishIndex + 1); }
    void TearDown() override { texts.loadLanguage(LanguageTexts::englishIndex + 1); }

    void tap(TouchTestCanvas& canvas, QPoint at) {
        QTest::touchEvent(&canvas, device).press(0, at, static_cast<QWidget*>(&canvas));
        QTest::touchEvent(&canvas, device).release(0, at, static_cast<QWidget*>(&canvas));
    }

    LanguageTexts texts;
    QTouchDevice* device = QTest::createTouchDevice();
};

void sendMouse(QWidget& widget, QEvent::Type type, QPoint at, Qt::MouseEventSource source) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, at, widget.mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier, source);
    QApplication::sendEvent(&widget, &event);
}

} // namespace

// The crosses lie at 10, 50 and 90 % of the display the calibration window covers (the one with
// the smallest left edge), wherever it is in the list.
TEST_F(TouchTestCanvasTest, CoversTheCalibratedDisplayWithCrossesAtTenFiftyAndNinetyPercent) {
    auto guard = FakeDisplays::install({QRect(1280, 0, 1920, 1080), QRect(0, 0, 1280, 800)});
    TouchTestCanvas canvas(&texts);
    ASSERT_TRUE(canvas.open());
    EXPECT_EQ(canvas.geometry(), QRect(0, 0, 1280, 800));
    const TouchTestGrid& grid = canvas.grid();
    ASSERT_EQ(grid.crossCount(), 9);
    EXPECT_EQ(grid.cross(0), QPointF(128, 80));
    EXPECT_EQ(grid.cross(4), QPointF(640, 400));
    EXPECT_EQ(grid.cross(5), QPointF(1152, 400));
    EXPECT_EQ(grid.cross(8), QPointF(1152, 720));

    auto none = FakeDisplays::install({});
    TouchTestCanvas nowhere(&texts);
    EXPECT_FALSE(nowhere.open());
    EXPECT_FALSE(nowhere.isVisible());
}

TEST_F(TouchTestCanvasTest, TouchesNearCrossesGiveTheirOffsetsAndTheSummary) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1280, 800)});
    TouchTestCanvas canvas(&texts);
    ASSERT_TRUE(canvas.open());
    const TouchTestGrid& grid = canvas.grid();
    tap(canvas, QPoint(131, 76));  // 3 right, 4 up of the top left cross
    tap(canvas, QPoint(646, 408)); // 6 right, 8 down of the middle one
    tap(canvas, QPoint(400, 240)); // between crosses: drawn, not counted
    EXPECT_EQ(grid.offset(0), QPointF(3, -4));
    EXPECT_EQ(grid.offset(4), QPointF(6, 8));
    EXPECT_EQ(grid.touchedCount(), 2);
    EXPECT_EQ(grid.measuredTouches(), 2);
    EXPECT_DOUBLE_EQ(grid.largestOffset(), 10.0);
    EXPECT_EQ(canvas.summaryText(), QStringLiteral("2 of 9 crosses touched. Largest offset: 10 px."));
    EXPECT_EQ(canvas.strokeCount(), 3);

    // Trying a cross again replaces its offset.
    tap(canvas, QPoint(646, 400));
    EXPECT_EQ(grid.offset(4), QPointF(6, 0));
    EXPECT_EQ(canvas.summaryText(), QStringLiteral("2 of 9 crosses touched. Largest offset: 6 px."));
    EXPECT_EQ(grid.measuredTouches(), 3);
}

// The mouse draws; mouse events the system made of touches count as touches, but once the screen
// sends touch events those copies are not counted a second time.
TEST_F(TouchTestCanvasTest, OnlyTouchesAreMeasuredAndNeverTwice) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1280, 800)});
    TouchTestCanvas canvas(&texts);
    ASSERT_TRUE(canvas.open());
    QTest::mousePress(&canvas, Qt::LeftButton, Qt::NoModifier, QPoint(128, 80));
    QTest::mouseMove(&canvas, QPoint(300, 200));
    QTest::mouseRelease(&canvas, Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
    EXPECT_EQ(canvas.strokeCount(), 1);
    EXPECT_EQ(canvas.grid().measuredTouches(), 0);

    sendMouse(canvas, QEvent::MouseButtonPress, QPoint(130, 80), Qt::MouseEventSynthesizedBySystem);
    sendMouse(canvas, QEvent::MouseButtonRelease, QPoint(130, 80), Qt::MouseEventSynthesizedBySystem);
    EXPECT_EQ(canvas.grid().measuredTouches(), 1);
    EXPECT_EQ(canvas.grid().offset(0), QPointF(2, 0));

    tap(canvas, QPoint(640, 404));
    sendMouse(canvas, QEvent::MouseButtonPress, QPoint(640, 404), Qt::MouseEventSynthesizedByQt);
    sendMouse(canvas, QEvent::MouseButtonRelease, QPoint(640, 404), Qt::MouseEventSynthesizedByQt);
    EXPECT_EQ(canvas.grid().measuredTouches(), 2);
}

TEST_F(TouchTestCanvasTest, EscapeClosesAndReopeningStartsAfresh) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1280, 800)});
    TouchTestCanvas canvas(&texts);
    QSignalSpy closed(&canvas, &TouchTestCanvas::sigClosed);
    ASSERT_TRUE(canvas.open());
    tap(canvas, QPoint(128, 80));
    QTest::keyClick(&canvas, Qt::Key_A);
    EXPECT_TRUE(canvas.isVisible());
    QTest::keyClick(&canvas, Qt::Key_Escape);
    EXPECT_FALSE(canvas.isVisible());
    EXPECT_EQ(closed.count(), 1);
    EXPECT_FALSE(canvas.testAttribute(Qt::WA_QuitOnClose));

    ASSERT_TRUE(canvas.open());
    EXPECT_EQ(canvas.grid().touchedCount(), 0);
    EXPECT_EQ(canvas.strokeCount(), 0);
}

// At 100 and 200 %, left to right and right to left, the instructions and the summary fit their
// bands (at the smallest font the window would use) and no band reaches a cross or a touch within
// its reach.
TEST_F(TouchTestCanvasTest, TextsFitAndStayClearOfTheCrosses) {
    for (const int savedId : {LanguageTexts::englishIndex + 1, 1}) {
        for (const double dpi : {96.0, 192.0}) {
            for (const QSize size : {QSize(1280, 800), QSize(960, 540)}) {
                SCOPED_TRACE(QStringLiteral("language %1 at %2 dpi on %3x%4")
                                 .arg(savedId)
                                 .arg(dpi)
                                 .arg(size.width())
                                 .arg(size.height())
                                 .toStdString());
                texts.loadLanguage(savedId);
                auto guard = FakeDisplays::install({QRect(QPoint(0, 0), size)}, dpi);
                TouchTestCanvas canvas(&texts);
                ASSERT_TRUE(canvas.open());
                EXPECT_EQ(canvas.layoutDirection(),
                          texts.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
                const TouchTestGrid& grid = canvas.grid();
                const int reach = qCeil(grid.reach());
                for (const QRect& area : {canvas.instructionsArea(), canvas.summaryArea()}) {
                    ASSERT_FALSE(area.isEmpty());
                    for (int i = 0; i < grid.crossCount(); ++i) {
                        const QPoint c = grid.cross(i).toPoint();
                        EXPECT_FALSE(
                            area.intersects(QRect(c - QPoint(reach, reach), QSize(2 * reach, 2 * reach))))
                            << i;
                    }
                }
                QFont smallest = canvas.font();
                smallest.setPixelSize(qRound(20 * dpi / 96.0 * 0.6));
                const QString instructions = LanguageTexts::guidance(GuidanceText::TestInstructions);
                const QRect area = canvas.instructionsArea();
                EXPECT_LE(QFontMetrics(smallest).boundingRect(area, Qt::TextWordWrap, instructions).height(),
                          area.height());
            }
        }
    }
}
