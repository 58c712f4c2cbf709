#include "calibration/CalibDlg.h"
#include "services/LanguageTexts.h"
#include "tests/support/EventualAssert.h"
#include "tests/support/FakeDisplays.h"
#include "tests/support/ScreenText.h"

#include <QLabel>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>
#include <QtMath>
#include <cmath>
#include <gtest/gtest.h>

namespace {

struct Display {
    int width;
    int height;
    int radius;
    int margin;
    int columns[5];
    int rows[4];
};

// Worked by hand from the window's sizing rules.
const Display displays[] = {
    {1280, 800, 50, 70, {70, 450, 640, 829, 1209}, {70, 290, 509, 729}},
    {1920, 1080, 75, 105, {105, 675, 960, 1244, 1814}, {105, 395, 684, 974}},
    {1024, 768, 48, 58, {58, 360, 512, 663, 965}, {58, 275, 492, 709}},
};

// Inner cells of the markers, rows top to bottom, 'B' black.
const char* const marker6[4] = {"WBWW", "BBWW", "BWBW", "WBBB"};
const char* const marker12[4] = {"BBBB", "WWBW", "WBBB", "BWBB"};

class CalibDlgTest : public ::testing::Test {
protected:
    void SetUp() override { texts.loadLanguage(LanguageTexts::englishIndex + 1); }

    LanguageTexts texts;
};

// Shows the window and waits for its report that the first paint happened.
bool shownAndPainted(CalibDlg& window) {
    QSignalSpy painted(&window, &CalibDlg::painted);
    window.showAndPaint();
    return eventsUntil([&] { return painted.count() > 0; });
}

bool isBlack(const QImage& image, int x, int y) {
    return qGray(image.pixel(x, y)) < 64;
}

// Checks the 6 x 6 cells of a marker centred at (x, y); mirrored reads the inner table right to left.
void expectMarker(const QImage& image, int x, int y, int cell, const char* const inner[4], bool mirrored) {
    const int left = x - 3 * cell;
    const int top = y - 3 * cell;
    for (int row = 0; row < 6; ++row) {
        for (int column = 0; column < 6; ++column) {
            const int source = mirrored ? 5 - column : column;
            bool black = row == 0 || row == 5 || column == 0 || column == 5;
            if (!black)
                black = inner[row - 1][source - 1] == 'B';
            const int px = left + column * cell + cell / 2;
            const int py = top + row * cell + cell / 2;
            EXPECT_EQ(isBlack(image, px, py), black)
                << "cell " << row << "," << column << " at " << px << "," << py;
        }
    }
}

} // namespace

TEST_F(CalibDlgTest, AutomaticTargetsAndPatternOnThreeDisplaySizes) {
    for (const Display& d : displays) {
        SCOPED_TRACE(testing::Message() << d.width << "x" << d.height);
        auto guard = FakeDisplays::install({QRect(0, 0, d.width, d.height)});
        CalibDlg window(&texts);
        window.PrepareDisplay(CalibDlg::Pattern);
        window.ComputeTargets(CalibDlg::TargetSet::Automatic);
        EXPECT_EQ(window.screenSize(), QSize(d.width, d.height));
        EXPECT_TRUE(window.penLabel()->isHidden());
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 5; ++column) {
                const QPointF t = window.targetList()[static_cast<size_t>(5 * row + column)];
                EXPECT_EQ(t, QPointF(d.columns[column], d.rows[row])) << "target " << 5 * row + column;
            }
        }

        const QImage image = window.grab().toImage();
        ASSERT_EQ(image.size(), QSize(d.width, d.height));
        // Target 0 is a disc of the computed radius.
        const int x0 = d.columns[0];
        const int y0 = d.rows[0];
        EXPECT_TRUE(isBlack(image, x0, y0));
        EXPECT_TRUE(isBlack(image, x0 + d.radius - 2, y0));
        EXPECT_FALSE(isBlack(image, x0 + d.radius + 2, y0));
        EXPECT_FALSE(isBlack(image, 2, 2));
        // Slot 6 (row 1, column 1) and slot 12 (row 2, column 2) are markers.
        const int cell = (2 * d.radius + 5) / 6;
        expectMarker(image, d.columns[1], d.rows[1], cell, marker6, false);
        expectMarker(image, d.columns[2], d.rows[2], cell, marker12, false);
    }
}

TEST_F(CalibDlgTest, RearProjectionMirrorsAndRenumbersMarkers) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080)});
    CalibDlg window(&texts);
    InstallationSettings rearProjection;
    rearProjection.rear = 1;
    window.useInstallation(&rearProjection);
    window.PrepareDisplay(CalibDlg::Pattern);
    window.ComputeTargets(CalibDlg::TargetSet::Automatic);
    const QImage image = window.grab().toImage();
    // With rear projection row 1, position 3 carries slot 6, drawn mirrored left to right.
    expectMarker(image, 1244, 395, 25, marker6, true);
    // Position 0 of row 1 carries slot 9: a disc.
    EXPECT_TRUE(isBlack(image, 105, 395));
    EXPECT_FALSE(isBlack(image, 105 + 3 * 25 - 2, 395 - 3 * 25 + 2));
}

TEST_F(CalibDlgTest, ManualAndSemiAutomaticNumbering) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1280, 800)});
    CalibDlg window(&texts);
    window.PrepareDisplay(CalibDlg::Instruction);
    window.ComputeTargets(CalibDlg::TargetSet::Manual);
    EXPECT_FALSE(window.penLabel()->isHidden());
    // Column by column, kept fractional: column 2 lies at (2 * 1139 + 1) / 3 + 70.
    EXPECT_FLOAT_EQ(static_cast<float>(window.targetList()[8].x()), 829.6667f);
    EXPECT_FLOAT_EQ(static_cast<float>(window.targetList()[1].y()), 290.0f);
    EXPECT_FLOAT_EQ(static_cast<float>(window.targetList()[4].x()), 450.0f);
    EXPECT_EQ(window.penLabel()->geometry(), QRect(14, 14, 113, 113));
    EXPECT_EQ(window.targetList()[16], QPointF());

    window.ComputeTargets(CalibDlg::TargetSet::SemiAutomatic);
    // Row 2, column 1 of the pattern becomes target 4 * 1 + 2.
    EXPECT_EQ(window.targetList()[6], QPointF(450, 509));
    EXPECT_EQ(window.targetList()[19], QPointF(1209, 729));
}

TEST_F(CalibDlgTest, CoversTheDisplayWithTheSmallestLeftEdge) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1920, 1080), QRect(-1920, 0, 1280, 800)}, 144.0);
    CalibDlg window(&texts);
    window.PrepareDisplay(CalibDlg::Black);
    EXPECT_EQ(window.screenSize(), QSize(1280, 800));
    EXPECT_EQ(window.geometry(), QRect(-1920, 0, 1280, 800));
    EXPECT_DOUBLE_EQ(window.dpiScale(), 1.5);
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(CalibDlgTest, PaintModesAndRepaintHandshake) {
    auto guard = FakeDisplays::install({QRect(0, 0, 640, 400)});
    CalibDlg window(&texts);
    window.PrepareDisplay(CalibDlg::Black);
    QSignalSpy painted(&window, &CalibDlg::painted);
    window.showAndPaint();
    EXPECT_TRUE(window.isVisible());
    ASSERT_TRUE(eventsUntil([&] { return painted.count() == 1; }));
    EXPECT_FALSE(window.paintRequested());
    EXPECT_EQ(qGray(window.grab().toImage().pixel(320, 200)), 0);
    // One report a request, however many paints follow: a grab paints without being asked.
    EXPECT_EQ(painted.count(), 1);
    window.repaintAs(CalibDlg::White);
    EXPECT_EQ(window.paintMode(), CalibDlg::White);
    ASSERT_TRUE(eventsUntil([&] { return painted.count() == 2; }));
    EXPECT_EQ(qGray(window.grab().toImage().pixel(320, 200)), 255);
    window.repaintAs(CalibDlg::KeepMode);
    ASSERT_TRUE(eventsUntil([&] { return painted.count() == 3; }));
    EXPECT_EQ(window.paintMode(), CalibDlg::White);

    // A hidden window does not paint: the request is still answered, so no step waits for ever.
    window.hide();
    window.repaintAs(CalibDlg::Black);
    ASSERT_TRUE(eventsUntil([&] { return painted.count() == 4; }));
    window.show();

    // The instruction picture is drawn only while a target remains.
    window.ComputeTargets(CalibDlg::TargetSet::Manual);
    window.setTargetCount(16);
    window.showTarget(0);
    window.repaintAs(CalibDlg::Instruction);
    ASSERT_TRUE(eventsUntil([&] { return painted.count() == 5; }));
    const QImage withTarget = window.grab().toImage();
    window.showTarget(16);
    window.penLabel()->hide();
    const QImage done = window.grab().toImage();
    EXPECT_NE(withTarget, done);
    QImage background(done.size(), done.format());
    background.fill(window.palette().color(QPalette::Window));
    EXPECT_EQ(done, background);
}

// What the person holding the pen sees: the three rings fill red, counter-clockwise from the
// right, a tenth of a turn a tick; the twelfth tick turns them white and reports the completion.
TEST_F(CalibDlgTest, ProgressRingCompletesOnTheTwelfthTick) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1280, 800)});
    CalibDlg window(&texts);
    window.PrepareDisplay(CalibDlg::Instruction);
    window.ComputeTargets(CalibDlg::TargetSet::Manual);
    window.setTargetCount(16);
    QSignalSpy next(&window, &CalibDlg::sigMCNextStepPointer);
    // The colour on a ring (radius from the picture's centre) at an angle, counter-clockwise from
    // the right.
    const auto onRing = [&window](double radius, int degrees) {
        const double a = qDegreesToRadians(static_cast<double>(degrees));
        return window.penPicture().toImage().pixelColor(qRound(56.25 + radius * std::cos(a)),
                                                        qRound(56.25 - radius * std::sin(a)));
    };
    const QColor red(255, 0, 0);
    window.ringOn();
    EXPECT_TRUE(window.ringRunning());
    for (int tick = 1; tick <= 5; ++tick)
        window.OnTimer();
    EXPECT_EQ(onRing(37.25, 90), red) << "half way: the top is filled";
    EXPECT_NE(onRing(37.25, 270), red) << "half way: the bottom is not";
    for (int tick = 6; tick <= 11; ++tick) {
        window.OnTimer();
        EXPECT_EQ(next.count(), 0) << "tick " << tick;
    }
    for (const double radius : {37.25, 25.5, 13.0})
        for (int degrees = 0; degrees < 360; degrees += 45)
            EXPECT_EQ(onRing(radius, degrees), red) << radius << " at " << degrees;
    window.OnTimer();
    EXPECT_EQ(next.count(), 1);
    EXPECT_EQ(onRing(37.25, 0), QColor(Qt::white));
    EXPECT_EQ(onRing(37.25, 270), QColor(Qt::white));
    window.ringOff();
    EXPECT_FALSE(window.ringRunning());

    // The next target's ring starts empty again.
    window.ringOn();
    window.OnTimer();
    EXPECT_EQ(onRing(37.25, 10), red);
    EXPECT_NE(onRing(37.25, 90), red);
}

TEST_F(CalibDlgTest, RingTimerDrivesTheCompletion) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1280, 800)});
    CalibDlg window(&texts);
    window.setTargetCount(16);
    QSignalSpy next(&window, &CalibDlg::sigMCNextStepPointer);
    window.ringOn();
    EXPECT_TRUE(next.wait(2000));
    EXPECT_EQ(next.count(), 1);
}

TEST_F(CalibDlgTest, PenGlidesBetweenTargetsAndHidesAfterTheLast) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1280, 800)});
    CalibDlg window(&texts);
    window.PrepareDisplay(CalibDlg::Instruction);
    window.ComputeTargets(CalibDlg::TargetSet::Manual);
    window.setTargetCount(16);
    window.showTarget(1);
    window.animateForward();
    ASSERT_EVENTUALLY_EQ(window.penLabel()->geometry(), CalibDlg::penRect(window.targetList()[1]));
    window.showTarget(0);
    window.animateBack();
    ASSERT_EVENTUALLY_EQ(window.penLabel()->geometry(), CalibDlg::penRect(window.targetList()[0]));
    window.showTarget(16);
    window.animateForward();
    EXPECT_TRUE(window.penLabel()->isHidden());
}

TEST_F(CalibDlgTest, KeysReachTheControllerOnlyWhileVisible) {
    auto guard = FakeDisplays::install({QRect(0, 0, 640, 400)});
    CalibDlg window(&texts);
    QSignalSpy done(&window, &CalibDlg::sigCaliDlgWorkingDone);
    QSignalSpy back(&window, &CalibDlg::sigMCPrevStepPointer);
    QTest::keyClick(&window, Qt::Key_Escape);
    QTest::keyClick(&window, Qt::Key_Backspace);
    EXPECT_EQ(done.count() + back.count(), 0);

    window.PrepareDisplay(CalibDlg::Black);
    ASSERT_TRUE(shownAndPainted(window));
    QTest::keyClick(&window, Qt::Key_Backspace);
    QTest::keyClick(&window, Qt::Key_Delete);
    QTest::keyClick(&window, Qt::Key_A);
    EXPECT_EQ(back.count(), 2);
    EXPECT_TRUE(window.isVisible());
    QTest::keyClick(&window, Qt::Key_Escape);
    ASSERT_EQ(done.count(), 1);
    EXPECT_FALSE(done.at(0).at(0).toBool());
    EXPECT_FALSE(window.isVisible());
}

// Alt+F4 or the window manager's close button: the same as Escape, never a silent hide.
TEST_F(CalibDlgTest, ClosingTheWindowCancelsLikeEscape) {
    auto guard = FakeDisplays::install({QRect(0, 0, 640, 400)});
    CalibDlg window(&texts);
    QSignalSpy done(&window, &CalibDlg::sigCaliDlgWorkingDone);
    window.PrepareDisplay(CalibDlg::Instruction);
    ASSERT_TRUE(shownAndPainted(window));
    window.close();
    ASSERT_EQ(done.count(), 1);
    EXPECT_FALSE(done.at(0).at(0).toBool());
    EXPECT_FALSE(window.isVisible());
    // Closing a hidden window reports nothing more.
    window.close();
    EXPECT_EQ(done.count(), 1);
}

TEST_F(CalibDlgTest, TouchReleaseIsReportedOnlyWhileArmed) {
    auto guard = FakeDisplays::install({QRect(0, 0, 640, 400)});
    CalibDlg window(&texts);
    window.PrepareDisplay(CalibDlg::White);
    ASSERT_TRUE(shownAndPainted(window));
    std::atomic<bool> armed{false}; // the ratio check's, in the program
    window.useTouchCapture(&armed);
    QSignalSpy touched(&window, &CalibDlg::sigTouchEvent);
    QTouchDevice* device = QTest::createTouchDevice();

    QTest::touchEvent(&window, device).press(0, QPoint(100, 120), static_cast<QWidget*>(&window));
    QTest::touchEvent(&window, device).release(0, QPoint(100, 120), static_cast<QWidget*>(&window));
    EXPECT_EQ(touched.count(), 0);

    armed.store(true);
    QTest::touchEvent(&window, device).press(0, QPoint(200, 150), static_cast<QWidget*>(&window));
    EXPECT_EQ(touched.count(), 0);
    QTest::touchEvent(&window, device).release(0, QPoint(200, 150), static_cast<QWidget*>(&window));
    ASSERT_EQ(touched.count(), 1);
    const QPoint global = window.mapToGlobal(QPoint(200, 150));
    EXPECT_EQ(touched.at(0).at(0).toInt(), global.x());
    EXPECT_EQ(touched.at(0).at(1).toInt(), global.y());
    EXPECT_FALSE(armed.load());

    // Disarmed again: the next release passes.
    QTest::touchEvent(&window, device).press(0, QPoint(10, 10), static_cast<QWidget*>(&window));
    QTest::touchEvent(&window, device).release(0, QPoint(10, 10), static_cast<QWidget*>(&window));
    EXPECT_EQ(touched.count(), 1);
}

// The touch phases say which target is current and that Escape ends the run; the window carries
// the translated title.
TEST_F(CalibDlgTest, TouchPhaseShowsProgressAndTheEscapeHint) {
    auto guard = FakeDisplays::install({QRect(0, 0, 1280, 800)});
    CalibDlg window(&texts);
    window.PrepareDisplay(CalibDlg::Instruction);
    window.ComputeTargets(CalibDlg::TargetSet::Manual);
    window.setTargetCount(16);
    window.showTarget(2);
    EXPECT_EQ(window.progressText(),
              QStringLiteral("3 / 16\nPress 'esc' key to close the calibration window."));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Vexaro Calibration"));

    // The German run: title and picture title in German.
    LanguageTexts german;
    for (int id = 1; id <= LanguageTexts::languageCount; ++id) {
        german.loadLanguage(id);
        if (german.getCalibWindowText(0) == QStringLiteral("Kalibrierung"))
            break;
    }
    ASSERT_EQ(german.getCalibWindowText(0), QStringLiteral("Kalibrierung"));
    CalibDlg germanWindow(&german);
    germanWindow.PrepareDisplay(CalibDlg::Instruction);
    EXPECT_NE(germanWindow.windowTitle(), QStringLiteral("Dialog"));
    EXPECT_EQ(germanWindow.windowTitle(), german.getConfigText(2));
}

// While the images are analysed the window tells the user so, and how to stop it: read off its
// pixels, as a person reads it, on a small display and a large one.
TEST_F(CalibDlgTest, WhileAnalysingTheScreenSaysSoAndHowToCancel) {
    if (!ScreenText::available())
        GTEST_SKIP() << "tesseract is not installed";
    for (const QSize size : {QSize(1024, 768), QSize(2560, 1440)}) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        auto guard = FakeDisplays::install({QRect(QPoint(0, 0), size)});
        CalibDlg window(&texts);
        window.PrepareDisplay(CalibDlg::Analysing);
        window.ComputeTargets(CalibDlg::TargetSet::Automatic);
        window.resize(size);
        const QString text = ScreenText::read(window.grab().toImage());
        EXPECT_TRUE(text.contains(QStringLiteral("Analysing the captured pattern"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("to close the calibration window"))) << text.toStdString();
    }
}
