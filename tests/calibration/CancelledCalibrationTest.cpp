// A calibration the user ends (Escape, or the window manager closing its window) says whether the
// module still holds the calibration it had: it does until this run's record was sent.
#include "FlowHarness.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

TEST(CancelledCalibration, SaysWhetherThePreviousCalibrationIsStillInForce) {
    FlowHarness h{VirtualRig()};
    ASSERT_TRUE(h.connected);
    QSignalSpy cancelled(h.controller.get(), &ZelmoMainCtrl::sigCalibrationCancelled);
    bool previousInForce = false;
    EXPECT_FALSE(h.controller->cancelCalibration(&previousInForce)) << "nothing runs";

    // Closed by the window manager (Alt+F4) while the module captures: nothing was sent yet.
    h.controller->StartACalibration();
    ASSERT_TRUE(eventsUntil([&] { return h.controller->currentFlowStep() >= 7; }, 60000));
    h.window()->close();
    EXPECT_EQ(h.controller->currentFlowStep(), 0);
    EXPECT_FALSE(h.window()->isVisible());
    ASSERT_EQ(cancelled.count(), 1);
    EXPECT_TRUE(cancelled.last().at(0).toBool());

    // Escape during manual target input.
    h.controller->StartMCalibration();
    ASSERT_EQ(h.controller->currentFlowStep(), 3);
    QTest::keyClick(h.window(), Qt::Key_Escape);
    ASSERT_EQ(cancelled.count(), 2);
    EXPECT_TRUE(cancelled.last().at(0).toBool());
    EXPECT_EQ(h.module->commandCount(CMD_SET_CALIB_PARAMETER), 0);

    // The record went out and its answer is awaited: the new calibration is the module's now.
    h.module->setFault(SimFault::StopsAnsweringAt, CMD_SET_CALIB_PARAMETER);
    h.controller->StartACalibration();
    ASSERT_TRUE(eventsUntil([&] { return h.controller->currentFlowStep() == 15; }, 60000));
    EXPECT_EQ(h.module->commandCount(CMD_SET_CALIB_PARAMETER), 1);
    h.window()->close();
    ASSERT_EQ(cancelled.count(), 3);
    EXPECT_FALSE(cancelled.last().at(0).toBool());
    EXPECT_TRUE(h.boxes.isEmpty()) << "the user ended it: no failure message";

    // Ended from outside (the settings window closing): the same answer, no signal of its own.
    h.module->clearFaults();
    h.controller->StartMCalibration();
    ASSERT_TRUE(h.controller->cancelCalibration(&previousInForce));
    EXPECT_TRUE(previousInForce);
    EXPECT_EQ(h.controller->currentFlowStep(), 0);
    EXPECT_EQ(cancelled.count(), 3);
}
