// Automatic calibration from start to the record in the module, against the simulated module whose
// camera photographs the calibration window.
#include "FlowHarness.h"

#include <gtest/gtest.h>

TEST(AutomaticFlow, CalibratesAndTheModuleTracksThePen) {
    VirtualRig rig;
    FlowHarness h(rig);
    ASSERT_TRUE(h.connected);
    h.controller->StartACalibration();
    ASSERT_TRUE(h.runToEnd());
    EXPECT_TRUE(h.boxes.isEmpty()) << h.boxes.first().text.toStdString();
    EXPECT_EQ(h.module->commandCount(CMD_SET_CALIB_PARAMETER), 1);
    EXPECT_EQ(h.module->commandCount(CMD_SEND_COORD), 2);
    const auto a = h.accuracy();
    EXPECT_LT(a.rms, 1.0);
    EXPECT_LT(a.max, 3.0);
}
