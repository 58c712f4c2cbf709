// How a flow ends (one outcome a run) and how the window's paint moves a step on, without a module.
#include "calibration/FlowOutcome.h"
#include "ZelmoMainCtrlFixture.h"
#include "calibration/RatioCheckFlow.h"

// The module's answers keep coming after a run ended (repeated, late, or after the time limit):
// whichever ends the run, it ends with one outcome, and nothing after it reports another.
TEST_F(ZelmoMainCtrlTest, ARunEndsWithOneOutcomeWhateverArrivesAfter) {
    ZelmoMainCtrl ctrl(&texts, EmptyBusTransport::create());
    makeReady(ctrl);
    ctrl.setFlowLimits(limitsOf(60000, 60000, 40));
    RatioCheckFlow& flow = ctrl.ratioCheckFlow();
    std::vector<FlowOutcome> outcomes;
    flow.reportOutcomesTo([&outcomes](const FlowOutcome& outcome) { outcomes.push_back(outcome); });
    int answer = 0;

    // The module ends the run without asking for the check; it repeats itself, then steps.
    flow.awaitAnswer();
    flow.targetOrPoints(&answer, 4);
    flow.targetOrPoints(&answer, 4);
    flow.moduleStepped();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].kind, FlowOutcome::Kind::Done);
    EXPECT_FALSE(outcomes[0].ratioChecked);
    EXPECT_FALSE(flow.isRunning());

    // The check's two touches arrive: Done after the check; a late time-out of the touch adds none.
    outcomes.clear();
    flow.awaitAnswer();
    flow.moduleStepped();
    EXPECT_TRUE(flow.touchCaptureArmed.load());
    flow.touchArrived(100, 100);
    flow.touchArrived(900, 500);
    flow.touchTimedOut();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].kind, FlowOutcome::Kind::Done);
    EXPECT_TRUE(outcomes[0].ratioChecked);

    // No answer within the limit: TimedOut for the step that waited, and the answer coming late
    // reports nothing more.
    outcomes.clear();
    flow.awaitAnswer();
    ASSERT_TRUE(eventsUntil([&outcomes] { return !outcomes.empty(); }));
    flow.targetOrPoints(&answer, 4);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].kind, FlowOutcome::Kind::TimedOut);
    EXPECT_EQ(outcomes[0].step, RatioCheckFlow::RecordSent);
}

// A step that changes the screen goes on when the window reports the paint, once: the limit of
// what it then waits for is armed only from there, and a paint reported again moves nothing.
TEST_F(ZelmoMainCtrlTest, ThePaintReportMovesAStepOnOnce) {
    ZelmoMainCtrl ctrl(&texts, EmptyBusTransport::create());
    makeReady(ctrl);
    ctrl.setFlowLimits(limitsOf(61000, 62000, 63000));
    ctrl.StartACalibration();
    const CalibrationFlow* flow = ctrl.runningFlow();
    ASSERT_TRUE(flow->awaitingPaint());
    EXPECT_EQ(flow->armedLimitMs(), 0) << "the capture is not timed before the dark screen is up";
    emit ctrl.calibWindow()->painted();
    QCoreApplication::processEvents(); // the report is queued
    EXPECT_FALSE(flow->awaitingPaint());
    EXPECT_EQ(ctrl.currentFlowStep(), AutomaticFlow::BlackCapture);
    EXPECT_EQ(flow->armedLimitMs(), 61000);

    // Black captured: white goes up, and only its paint fetches the black image.
    ctrl.slotACNextStep();
    EXPECT_TRUE(flow->awaitingPaint());
    EXPECT_EQ(ctrl.currentFlowStep(), AutomaticFlow::BlackCapture);
    EXPECT_EQ(flow->armedLimitMs(), 0);
    ASSERT_TRUE(stepPainted(ctrl));
    EXPECT_EQ(ctrl.currentFlowStep(), AutomaticFlow::DarkImage);
    EXPECT_EQ(flow->armedLimitMs(), 62000);
    emit ctrl.calibWindow()->painted();
    QCoreApplication::processEvents();
    EXPECT_EQ(ctrl.currentFlowStep(), AutomaticFlow::DarkImage);
    EXPECT_TRUE(boxes.empty());
}

// The flow keeps the current target and the window draws it; a ring completing once the last
// target was reached moves nothing further.
TEST_F(ZelmoMainCtrlTest, TheTouchFlowKeepsTheTargetTheWindowDraws) {
    ZelmoMainCtrl ctrl(&texts, EmptyBusTransport::create());
    makeReady(ctrl);
    ctrl.StartMCalibration();
    const int count = ctrl.calibWindow()->targetCount();
    ASSERT_EQ(count, 16);
    for (int target = 0; target < count; ++target) {
        ctrl.slotMCDone();
        ctrl.slotMCNextStepPointer();
        EXPECT_EQ(ctrl.touchPhase().targetIndex(), target + 1);
        EXPECT_EQ(ctrl.calibWindow()->shownTarget(), target + 1);
    }
    ctrl.slotMCNextStepPointer();
    EXPECT_EQ(ctrl.touchPhase().targetIndex(), count);
    EXPECT_EQ(ctrl.calibWindow()->shownTarget(), count);
    EXPECT_EQ(ctrl.currentFlowStep(), TouchFlow::TargetInput);
}
