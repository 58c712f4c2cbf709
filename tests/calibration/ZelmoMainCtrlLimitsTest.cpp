// The controller's time limits and the touch phase's window events, without a module.
#include "ZelmoMainCtrlFixture.h"

// Each state that waits for the module arms its own limit: captures the capture limit, images the
// transfer limit. A blank pattern image then fails the analysis, which ends the run with M14.
TEST_F(ZelmoMainCtrlTest, EveryAutomaticWaitHasTheLimitOfWhatItWaitsFor) {
    ZelmoMainCtrl ctrl(&texts, EmptyBusTransport::create());
    makeReady(ctrl);
    FlowLimits limits = limitsOf(61000, 62000, 63000);
    limits.analysisMs = 64000;
    ctrl.setFlowLimits(limits);
    ctrl.StartACalibration();
    std::vector<std::pair<int, int>> waits;
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(stepPainted(ctrl));
        waits.emplace_back(ctrl.currentFlowStep(), ctrl.runningFlow()->armedLimitMs());
        if (i < 5)
            ctrl.slotACNextStep();
    }
    const std::vector<std::pair<int, int>> expected = {{6, 61000}, {7, 62000},  {8, 61000},
                                                       {9, 62000}, {10, 61000}, {11, 62000}};
    EXPECT_EQ(waits, expected);
    std::vector<unsigned char> blank(1280 * 720, 0);
    ctrl.slotNewACImageReceived(blank.data(), static_cast<int>(blank.size()));
    // The analysis runs on its worker, under a limit of its own.
    EXPECT_EQ(ctrl.currentFlowStep(), AutomaticFlow::Analysing);
    EXPECT_EQ(ctrl.runningFlow()->armedLimitMs(), 64000);
    ASSERT_EVENTUALLY(ctrl.currentFlowStep() == 0);
    EXPECT_EQ(ctrl.runningFlow()->armedLimitMs(), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "Calibration failed. Please try again.\n\nThe picture is too dark, or its "
              "contrast is too low. Dim the room light or turn up the projector's brightness.");
    EXPECT_EQ(boxes[0].details.size(), QSize(1280, 720));
}

TEST_F(ZelmoMainCtrlTest, APassedLimitEndsTheRunLikeEscapeAndSaysM14) {
    ZelmoMainCtrl ctrl(&texts, EmptyBusTransport::create());
    makeReady(ctrl);
    ctrl.setFlowLimits(limitsOf(50, 50, 50));
    ctrl.StartACalibration();
    ASSERT_EQ(ctrl.currentFlowStep(), 6);
    EXPECT_TRUE(ctrl.calibWindow()->isVisible());
    ASSERT_EVENTUALLY_EQ(static_cast<int>(boxes.size()), 1);
    EXPECT_EQ(boxes[0].kind, MessageBoxSeam::Kind::Critical);
    EXPECT_EQ(boxes[0].text, "Calibration failed. Please try again.\n\nThe module stopped answering or was "
                             "unplugged. Check the USB cable, then try again.");
    EXPECT_EQ(ctrl.currentFlowStep(), 0);
    EXPECT_FALSE(ctrl.calibWindow()->isVisible());

    // Closed by the user first: the limit goes with the run, nothing is said later.
    boxes.clear();
    ctrl.setFlowLimits(limitsOf(60000, 60000, 60000));
    ctrl.StartACalibration();
    ASSERT_TRUE(stepPainted(ctrl));
    ASSERT_GT(ctrl.runningFlow()->armedLimitMs(), 0);
    emit ctrl.calibWindow()->sigCaliDlgWorkingDone(false);
    EXPECT_EQ(ctrl.currentFlowStep(), 0);
    EXPECT_EQ(ctrl.runningFlow()->armedLimitMs(), 0);
    EXPECT_FALSE(ctrl.calibWindow()->isVisible());
    EXPECT_TRUE(boxes.empty());
}

// Target input waits for a person and is never timed; the module's touched points are.
TEST_F(ZelmoMainCtrlTest, TouchPhaseTimesTheModuleNotThePerson) {
    ZelmoMainCtrl ctrl(&texts, EmptyBusTransport::create());
    makeReady(ctrl);
    ctrl.setFlowLimits(limitsOf(50, 50, 80));
    ctrl.StartMCalibration();
    ASSERT_EQ(ctrl.currentFlowStep(), 3);
    EXPECT_EQ(ctrl.runningFlow()->armedLimitMs(), 0);
    ASSERT_EQ(ctrl.calibWindow()->targetCount(), 16);
    finishEveryTarget(ctrl);
    ASSERT_EQ(ctrl.currentFlowStep(), 4);
    EXPECT_EQ(ctrl.runningFlow()->armedLimitMs(), 80);
    // Points of the wrong length are no answer: the limit still runs out.
    std::vector<int> shortPoints(25, 0);
    ctrl.slotMCNextStep(shortPoints.data(), 100);
    EXPECT_EQ(ctrl.currentFlowStep(), 4);
    ASSERT_EVENTUALLY_EQ(static_cast<int>(boxes.size()), 1);
    EXPECT_EQ(boxes[0].text, "Calibration failed. Please try again.\n\nThe module stopped answering or was "
                             "unplugged. Check the USB cable, then try again.");
    EXPECT_EQ(ctrl.currentFlowStep(), 0);
    EXPECT_FALSE(ctrl.calibWindow()->isVisible());
}

// The window's advance flag decides what the module's "target finished" means: before the ring
// completed the target is repeated, after it the next one is armed, and only once.
TEST_F(ZelmoMainCtrlTest, AdvanceReadyDecidesBetweenRepeatingAndMovingOn) {
    ZelmoMainCtrl ctrl(&texts, EmptyBusTransport::create());
    makeReady(ctrl);
    ctrl.StartMCalibration();
    CalibDlg* w = ctrl.calibWindow();
    int reported = 0;

    ctrl.slotMCDone();
    EXPECT_TRUE(w->ringRunning());
    EXPECT_FALSE(ctrl.touchPhase().advanceReady());
    ctrl.slotMCNextStep(&reported, 4); // lifted before the ring completed
    EXPECT_FALSE(w->ringRunning());
    EXPECT_EQ(ctrl.touchPhase().targetIndex(), 0);

    ctrl.slotMCDone();
    ctrl.slotMCNextStepPointer();
    EXPECT_EQ(ctrl.touchPhase().targetIndex(), 1);
    EXPECT_TRUE(ctrl.touchPhase().advanceReady());
    ctrl.slotMCNextStep(&reported, 4); // target 0 finished: target 1 is armed
    EXPECT_FALSE(ctrl.touchPhase().advanceReady());
    // The module repeating its report must not skip target 1.
    ctrl.slotMCNextStep(&reported, 4);
    EXPECT_EQ(ctrl.touchPhase().targetIndex(), 1);
    EXPECT_EQ(ctrl.currentFlowStep(), 3);

    // Back to target 0, which is armed again at once.
    ctrl.slotMCPrevStepPointer();
    EXPECT_EQ(ctrl.touchPhase().targetIndex(), 0);
    EXPECT_FALSE(ctrl.touchPhase().advanceReady());
    ctrl.slotMCPrevStepPointer(); // nowhere further back
    EXPECT_EQ(ctrl.touchPhase().targetIndex(), 0);
}

// Closing the window in the touch phase ends it for good; a new start begins again.
TEST_F(ZelmoMainCtrlTest, ClosingDuringTheTouchPhaseEndsOnlyThatRun) {
    ZelmoMainCtrl ctrl(&texts, EmptyBusTransport::create());
    makeReady(ctrl);
    ctrl.StartMCalibration();
    ASSERT_EQ(ctrl.currentFlowStep(), 3);
    ctrl.slotCaliDlgWorkingDone(true);
    EXPECT_EQ(ctrl.currentFlowStep(), 0);
    EXPECT_FALSE(ctrl.calibWindow()->isVisible());
    // Events of the ended run change nothing.
    ctrl.slotMCDone();
    ctrl.slotMCNextStepPointer();
    EXPECT_FALSE(ctrl.calibWindow()->ringRunning());
    EXPECT_EQ(ctrl.touchPhase().targetIndex(), 0);
    // A new start begins at the first target.
    ctrl.StartMCalibration();
    EXPECT_EQ(ctrl.currentFlowStep(), 3);
    EXPECT_EQ(ctrl.touchPhase().targetIndex(), 0);
}

// The window repaints before a step sends its command, and the user's Escape can arrive before
// that paint is reported: the step must not go on to ask the module for the next image of a run
// that has ended, and no limit may be left armed.
TEST_F(ZelmoMainCtrlTest, EscapeBeforeTheRepaintOfAStepEndsTheRun) {
    ZelmoMainCtrl ctrl(&texts, EmptyBusTransport::create());
    makeReady(ctrl);
    ctrl.StartACalibration();
    ASSERT_TRUE(eventsUntil([&] { return ctrl.runningFlow()->armedLimitMs() > 0; }));
    ASSERT_EQ(ctrl.currentFlowStep(), 6);
    QSignalSpy painted(ctrl.calibWindow(), &CalibDlg::painted);
    ctrl.slotACNextStep(); // black captured: the window turns white first
    ASSERT_TRUE(ctrl.runningFlow()->awaitingPaint());
    emit ctrl.calibWindow()->sigCaliDlgWorkingDone(false);
    EXPECT_EQ(ctrl.currentFlowStep(), 0);
    EXPECT_FALSE(ctrl.runningFlow()->awaitingPaint());
    // The paint still comes (or its fallback, the window being hidden) and changes nothing.
    ASSERT_TRUE(eventsUntil([&] { return painted.count() == 1; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(ctrl.currentFlowStep(), 0);
    EXPECT_EQ(ctrl.runningFlow()->armedLimitMs(), 0);
    EXPECT_FALSE(ctrl.calibWindow()->isVisible());
}
