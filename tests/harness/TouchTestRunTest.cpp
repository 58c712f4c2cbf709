// The touch test of a --simulate run: after an automatic calibration the mouse is the pen on the
// test window, and the module's tracking turns it into the touches the window measures.
#include "harness/FixedDisplays.h"
#include "harness/SimulationSession.h"
#include "platform/Pacing.h"
#include "platform/Platform.h"
#include "tests/calibration/FlowHarness.h"
#include "tests/harness/SimulatedDeskTest.h"
#include "tests/ui/MainDlgWidgets.h"
#include "ui/TouchTestCanvas.h"
#include "ui/ZelmoSetupDlg.h"

#include <QTest>
#include <gtest/gtest.h>

using TouchTestRun = SimulatedDeskTest;

TEST_F(TouchTestRun, AfterAnAutomaticCalibrationEveryCrossIsTouchedWithinThreePixels) {
    SimulationSession session;
    ZelmoSetupDlg hub(nullptr, session.takeTransport());
    hub.startUp();
    session.attach(hub, false);
    SimulatedModule& module = session.simulatedModule();
    const MainDlgWidgets ui(*hub.settingsWindow());
    auto* testButton = hub.settingsWindow()->findChild<QPushButton*>(QStringLiteral("pushTouchTest"));
    ASSERT_NE(testButton, nullptr);
    ASSERT_TRUE(eventsUntil([&] { return ui.pushAutoCalib->isEnabled(); }, 10000));
    EXPECT_FALSE(testButton->isEnabled()) << "no calibration stored yet";

    ui.pushAutoCalib->click();
    // A failed run says why in its box: waited for too, so the failure names it.
    ASSERT_TRUE(eventsUntil([&] { return testButton->isEnabled() || !boxes.isEmpty(); }, 60000))
        << "step " << hub.controller()->currentFlowStep();
    ASSERT_TRUE(boxes.isEmpty()) << boxes.first().text.toStdString();
    ASSERT_TRUE(eventsUntil([&] { return hub.controller()->currentFlowStep() == 0; }, 5000));

    testButton->click();
    TouchTestCanvas* canvas = hub.touchTestCanvas();
    ASSERT_TRUE(canvas->isVisible());
    ASSERT_TRUE(eventsUntil([&] { return module.tracking(); }, 5000));
    const TouchTestGrid& grid = canvas->grid();
    for (int i = 0; i < grid.crossCount(); ++i) {
        const QPoint at = grid.cross(i).toPoint();
        QTest::mousePress(canvas->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
        ASSERT_TRUE(eventsUntil([&] { return grid.measuredTouches() == i + 1; }, 5000)) << i;
        QTest::mouseRelease(canvas->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
        ASSERT_TRUE(grid.offset(i).has_value()) << i << " counted for another cross";
    }
    // Each press gave exactly one touch: the mouse itself and the copies of the touches count for
    // nothing. A press away from the crosses comes back after every touch before it (the module and
    // the desktop keep their order): its stroke and its touch's stroke, and nothing measured.
    const int strokes = canvas->strokeCount();
    const QPoint between = ((grid.cross(0) + grid.cross(4)) / 2).toPoint();
    QTest::mouseClick(canvas->windowHandle(), Qt::LeftButton, Qt::NoModifier, between);
    ASSERT_TRUE(eventsUntil([&] { return canvas->strokeCount() == strokes + 2; }, 5000));
    EXPECT_EQ(grid.measuredTouches(), 9);
    EXPECT_EQ(grid.touchedCount(), 9);
    EXPECT_LE(grid.largestOffset(), 3.0);
    EXPECT_TRUE(canvas->summaryText().startsWith(QStringLiteral("9 of 9 crosses touched.")))
        << canvas->summaryText().toStdString();

    QTest::keyClick(canvas, Qt::Key_Escape);
    EXPECT_FALSE(canvas->isVisible());
    ASSERT_TRUE(eventsUntil([&] { return !module.tracking(); }, 5000));

    // Unplugged during a test: the window goes, and the button waits for a new calibration.
    testButton->click();
    ASSERT_TRUE(canvas->isVisible());
    module.unplug();
    ASSERT_TRUE(eventsUntil([&] { return !canvas->isVisible(); }, 5000));
    EXPECT_FALSE(testButton->isEnabled());
    module.plug();
    ASSERT_TRUE(eventsUntil([&] { return ui.pushAutoCalib->isEnabled(); }, 10000));
    EXPECT_FALSE(testButton->isEnabled());
}
