// Every calibration flow gives up on a module that stops answering: the window goes, the module is
// stopped as Escape would stop it, and the user sees M14. The limits are shortened for the tests.
#include "FlowHarness.h"

#include "calibration/FlowLimits.h"
#include "module/SimFault.h"
#include "tests/support/WaitStretch.h"

#include <gtest/gtest.h>

namespace {

const QString m14 = QStringLiteral("Calibration failed. Please try again.");
const QString transferFailed = QStringLiteral("The camera image did not arrive from the module.");
const QString moduleStopped = QStringLiteral("The module stopped answering or was unplugged.");

// Long enough for every healthy step of the simulated installation on a loaded machine, short
// enough to keep the tests quick; sanitizer runs stretch them as they stretch every wait.
FlowLimits testLimits() {
    FlowLimits limits;
    limits.captureMs = stretchedWaitMs(4000);
    limits.imageTransferMs = stretchedWaitMs(4000);
    limits.moduleReplyMs = stretchedWaitMs(4000);
    return limits;
}

enum class Start { Automatic, SemiAutomatic, Manual };

struct Hang {
    const char* name;
    Start start;
    std::uint32_t hangsAt; // the module answers nothing from this request on
    int waitingStep;       // the step the flow waits in when it gives up
    bool fetchingImage;    // the step waits for an image, not for an answer
};

void start(FlowHarness& h, Start how) {
    if (how == Start::Automatic)
        h.controller->StartACalibration();
    else if (how == Start::SemiAutomatic)
        h.controller->StartSCalibration();
    else
        h.controller->StartMCalibration();
}

class FlowTimeLimit : public ::testing::TestWithParam<Hang> {};

} // namespace

TEST_P(FlowTimeLimit, AModuleThatStopsAnsweringEndsTheRunWithM14) {
    const Hang hang = GetParam();
    FlowHarness h{VirtualRig()};
    ASSERT_TRUE(h.connected);
    h.controller->setFlowLimits(testLimits());
    h.module->clearCounters();
    h.module->setFault(SimFault::StopsAnsweringAt, hang.hangsAt);
    start(h, hang.start);
    // The step's limit is armed once the window has shown what the module is to see.
    ASSERT_TRUE(eventsUntil(
        [&] {
            return (h.controller->currentFlowStep() == hang.waitingStep &&
                    h.controller->runningFlow()->armedLimitMs() > 0) ||
                   !h.boxes.isEmpty();
        },
        60000));
    ASSERT_EQ(h.controller->currentFlowStep(), hang.waitingStep);
    EXPECT_TRUE(h.window()->isVisible());
    EXPECT_GT(h.controller->runningFlow()->armedLimitMs(), 0);

    ASSERT_TRUE(eventsUntil([&] { return !h.boxes.isEmpty(); }, 60000));
    EXPECT_EQ(h.controller->currentFlowStep(), 0);
    EXPECT_FALSE(h.window()->isVisible());
    ASSERT_EQ(h.boxes.size(), 1);
    EXPECT_EQ(h.boxes.first().kind, MessageBoxSeam::Kind::Critical);
    const QString text = h.boxes.first().text;
    EXPECT_TRUE(text.startsWith(m14 + QStringLiteral("\n\n"))) << text.toStdString();
    EXPECT_EQ(text.contains(transferFailed), hang.fetchingImage) << text.toStdString();
    EXPECT_EQ(text.contains(moduleStopped), !hang.fetchingImage) << text.toStdString();
    EXPECT_TRUE(h.boxes.first().details.isNull()) << "no image was analysed";
    EXPECT_FALSE(h.controller->ratioCheckFlow().touchCaptureArmed.load());
    // Stopped as Escape stops it (the hung module still receives the requests).
    EXPECT_EQ(h.module->commandCount(CMD_STOP_TRACKING), 1);
    // A judged touch leaves the module in target input, which the end cancels; every other step
    // waits after target input.
    EXPECT_EQ(h.module->commandCount(CMD_MC_CANCEL), hang.waitingStep == 5 ? 1 : 0);

    // Once the module answers again the next run goes through.
    h.module->clearFaults();
    h.boxes.clear();
    h.controller->StartACalibration();
    ASSERT_TRUE(h.runToEnd());
    EXPECT_TRUE(h.boxes.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Hangs, FlowTimeLimit,
    ::testing::Values(Hang{"BlackCapture", Start::Automatic, CMD_AC_BLACK_START, 6, false},
                      Hang{"DarkImage", Start::Automatic, CMD_AC_SENDIMG, 7, true},
                      Hang{"PatternCapture", Start::SemiAutomatic, CMD_AC_PATTERN_START, 10, false},
                      Hang{"RecordAnswer", Start::Automatic, CMD_SET_CALIB_PARAMETER, 15, false},
                      // From the fifth touch on, the points so far are asked for to judge each touch.
                      Hang{"TouchedPoints", Start::Manual, CMD_MC_GET_INPUT_POINT, 5, false}),
    [](const ::testing::TestParamInfo<Hang>& hangInfo) { return std::string(hangInfo.param.name); });

// Target input waits for the person however long they take: a module that stops answering there
// leaves the targets up until the window is closed.
TEST(FlowTimeLimits, TargetInputIsNotTimed) {
    FlowHarness h{VirtualRig()};
    ASSERT_TRUE(h.connected);
    h.controller->setFlowLimits(testLimits());
    h.module->setFault(SimFault::StopsAnswering);
    h.controller->StartMCalibration();
    ASSERT_EQ(h.controller->currentFlowStep(), 3);
    EXPECT_EQ(h.controller->runningFlow()->armedLimitMs(), 0);
}

// The ratio check's limit is per injected touch; without the touches the run still ends well, since
// the record is stored: only the correction is not sent.
TEST(FlowTimeLimits, RatioCheckWhoseModuleHangsEndsWithoutCorrection) {
    FlowHarness h{VirtualRig()};
    ASSERT_TRUE(h.connected);
    h.controller->setFlowLimits(testLimits());
    h.module->setFault(SimFault::StopsAnsweringAt, CMD_SEND_COORD);
    h.controller->StartACalibration();
    ASSERT_TRUE(h.runToEnd());
    EXPECT_EQ(h.module->commandCount(CMD_SEND_COORD), 1);
    EXPECT_EQ(h.module->commandCount(CMD_SET_CALIB_PARAMETER), 1);
    EXPECT_TRUE(h.boxes.isEmpty());
    EXPECT_FALSE(h.controller->ratioCheckFlow().touchCaptureArmed.load());
}
