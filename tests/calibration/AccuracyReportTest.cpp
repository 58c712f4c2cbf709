// Every accepted calibration, automatic, tuned or by touch, hands the settings window its expected
// pointing accuracy.
#include "FlowHarness.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

PointingAccuracy storedAccuracy(const QSignalSpy& stored) {
    return stored.isEmpty() ? PointingAccuracy() : stored.last().at(0).value<PointingAccuracy>();
}

} // namespace

TEST(AccuracyReport, EveryAcceptedFlowEndsWithAnAccuracy) {
    FlowHarness h{VirtualRig()};
    ASSERT_TRUE(h.connected);
    QSignalSpy stored(h.controller.get(), &ZelmoMainCtrl::sigCalibrationStored);

    h.controller->StartACalibration();
    ASSERT_TRUE(h.runToEnd());
    ASSERT_EQ(stored.count(), 1);
    const PointingAccuracy automatic = storedAccuracy(stored);
    ASSERT_TRUE(automatic.known());
    // A clean rig: the estimate and the measured error agree that the pen lands within pixels.
    EXPECT_LT(automatic.pixels(), PointingAccuracy::goodBelow);
    EXPECT_LT(h.accuracy().rms, PointingAccuracy::goodBelow);

    h.penTargets = SimulatedInstallation::PenTargets::SemiAutomatic;
    h.controller->StartSCalibration();
    ASSERT_TRUE(h.runToEnd());
    ASSERT_EQ(stored.count(), 2);
    EXPECT_TRUE(storedAccuracy(stored).known());
    EXPECT_LT(storedAccuracy(stored).pixels(), PointingAccuracy::goodBelow);

    h.penTargets = SimulatedInstallation::PenTargets::Manual;
    h.controller->StartMCalibration();
    ASSERT_TRUE(h.runToEnd());
    ASSERT_EQ(stored.count(), 3);
    const PointingAccuracy manual = storedAccuracy(stored);
    ASSERT_TRUE(manual.known());
    // Sixteen touches measured in whole pixels: some scatter, but not the lens's bend (tens of
    // pixels for this rig's lens).
    EXPECT_GT(manual.pixels(), 0.0);
    EXPECT_LT(manual.pixels(), PointingAccuracy::goodBelow);
    EXPECT_TRUE(h.boxes.isEmpty());
}
