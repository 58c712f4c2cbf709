// Automatic calibration from start to the record in the module, against the simulated module whose
// camera photographs the calibration window and whose injected touches land on it.
#include "FlowHarness.h"

#include "analysis/DetectionAnnotation.h"
#include "calibration/AutomaticFlow.h"
#include "harness/ScreenCamera.h"

#include <QKeyEvent>
#include <QTest>
#include <cstring>
#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

namespace {

// The last packet of a code the module received.
DevicePacket lastPacket(const SimulatedModule& module, std::uint32_t code) {
    return module.lastReceived(code).value_or(DevicePacket{});
}

double ratioOf(const DevicePacket& p) {
    double ratio = 0.0;
    std::memcpy(&ratio, p.data() + 12, sizeof ratio);
    return ratio;
}

class AutomaticMounting : public ::testing::TestWithParam<Mounting> {};

} // namespace

TEST_P(AutomaticMounting, CalibratesAndTheModuleTracksThePen) {
    VirtualRig rig;
    rig.ceiling = GetParam().ceiling;
    rig.rear = GetParam().rear;
    FlowHarness h(rig);
    ASSERT_TRUE(h.connected);
    h.controller->StartACalibration();
    ASSERT_TRUE(h.runToEnd());
    EXPECT_TRUE(h.boxes.isEmpty());
    EXPECT_EQ(h.module->commandCount(CMD_SET_CALIB_PARAMETER), 1);
    EXPECT_EQ(h.module->commandCount(CMD_SEND_COORD), 2);
    // No ratio error in the module: the check sends mode 0.
    const DevicePacket fix = lastPacket(*h.module, CMD_SET_FIX_COORD_RATIO);
    EXPECT_EQ(fix.u32(8), 0u);
    const std::vector<std::uint8_t> record = h.module->lastCalibRecord();
    ASSERT_EQ(record.size(), 370u);
    EXPECT_EQ(record[108], rig.ceiling ? 1 : 0);
    EXPECT_EQ(record[109], rig.rear ? 1 : 0);
    const auto a = h.accuracy();
    EXPECT_LT(a.rms, 1.0);
    EXPECT_LT(a.max, 3.0);
}

INSTANTIATE_TEST_SUITE_P(Mountings, AutomaticMounting,
                         ::testing::Values(Mounting{false, false}, Mounting{true, false},
                                           Mounting{false, true}, Mounting{true, true}),
                         mountingName);

TEST(AutomaticFlow, RatioCheckCorrectsTheModulesRatioError) {
    FlowHarness h{VirtualRig()};
    ASSERT_TRUE(h.connected);
    h.module->setRatioError(1.03, 1.0);
    h.controller->StartACalibration();
    ASSERT_TRUE(h.runToEnd());
    const DevicePacket fix = lastPacket(*h.module, CMD_SET_FIX_COORD_RATIO);
    EXPECT_EQ(fix.u32(8), 1u);
    EXPECT_NEAR(ratioOf(fix), 1920.0 / 1080.0 * 1.03, 0.01);
    // The touches are measured in whole pixels, which bounds how well the ratio can be known.
    EXPECT_LT(h.accuracy().rms, 1.5);

    h.module->setRatioError(1.0, 0.97);
    h.controller->StartACalibration();
    ASSERT_TRUE(h.runToEnd());
    const DevicePacket fixY = lastPacket(*h.module, CMD_SET_FIX_COORD_RATIO);
    EXPECT_EQ(fixY.u32(8), 2u);
    EXPECT_NEAR(ratioOf(fixY), 1920.0 / 1080.0 / 0.97, 0.01);
    EXPECT_LT(h.accuracy().rms, 1.5);

    // Without the correction the same error would be tens of pixels at the far edge.
    h.module->setRatioError(1.03, 1.0);
    EXPECT_GT(h.accuracy().max, 20.0);
}

TEST(AutomaticFlow, RatioCheckWithoutTouchesTimesOutWithModeZero) {
    FlowHarness h{VirtualRig()};
    ASSERT_TRUE(h.connected);
    h.module->setCoordHandler(nullptr); // the touches never reach the desktop
    h.controller->StartACalibration();
    ASSERT_TRUE(h.runToEnd());
    EXPECT_EQ(h.module->commandCount(CMD_SEND_COORD), 1);
    EXPECT_EQ(lastPacket(*h.module, CMD_SET_FIX_COORD_RATIO).u32(8), 0u);
    EXPECT_TRUE(h.boxes.isEmpty()) << "the calibration itself succeeded";
}

TEST(AutomaticFlow, LensOutsideTheKnownTypesFailsWithM14) {
    VirtualRig rig;
    FlowHarness h(rig);
    ASSERT_TRUE(h.connected);
    h.controller->setLens(0);
    h.controller->StartACalibration();
    ASSERT_TRUE(h.runToEnd());
    ASSERT_EQ(h.boxes.size(), 1);
    EXPECT_EQ(h.boxes.first().kind, MessageBoxSeam::Kind::Critical);
    EXPECT_EQ(h.boxes.first().text, "Calibration failed. Please try again.\n\nThe lens type is not known. "
                                    "Choose the model under “Model Selection”, then try again.");
    EXPECT_EQ(h.module->commandCount(CMD_SET_CALIB_PARAMETER), 0);
}

// Ceiling ticked for the floor-mounted camera: the pattern is drawn turned, the camera sees it so,
// and the message says to untick the option, with the targets marked in its details picture.
TEST(AutomaticFlow, CeilingTickedForAFloorCameraSaysToUntickIt) {
    FlowHarness h{VirtualRig()};
    ASSERT_TRUE(h.connected);
    h.controller->setCeiling(true);
    h.controller->StartACalibration();
    ASSERT_TRUE(h.runToEnd());
    ASSERT_EQ(h.boxes.size(), 1);
    EXPECT_EQ(h.boxes.first().text, "Calibration failed. Please try again.\n\n"
                                    "The camera sees the picture upside down.\n"
                                    "Untick “Ceiling Mount Mode” in the settings window, then try again.");
    EXPECT_EQ(h.module->commandCount(CMD_SET_CALIB_PARAMETER), 0);

    // Nothing is found in a turned pattern; the seed of the turned markers places every target:
    // the details picture shows twenty red rings, one per missing target, and no other mark.
    const QImage details = h.boxes.first().details.convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(details.size(), QSize(1280, 720));
    cv::Mat red(details.height(), details.width(), CV_8UC1, cv::Scalar(0));
    int green = 0;
    for (int y = 0; y < details.height(); ++y) {
        for (int x = 0; x < details.width(); ++x) {
            const QColor c = details.pixelColor(x, y);
            red.at<uchar>(y, x) = c.red() > 200 && c.green() < 60 && c.blue() < 60 ? 255 : 0;
            green += c.green() > 200 && c.red() < 60 && c.blue() < 60 ? 1 : 0;
        }
    }
    // Rings apart from their crosses and numbers, which are smaller.
    cv::Mat labels, stats, centroids;
    const int components = cv::connectedComponentsWithStats(red, labels, stats, centroids, 8);
    int rings = 0;
    for (int i = 1; i < components; ++i) {
        rings += stats.at<int>(i, cv::CC_STAT_WIDTH) >= 2 * DetectionAnnotation::ringRadius &&
                 stats.at<int>(i, cv::CC_STAT_HEIGHT) >= 2 * DetectionAnnotation::ringRadius;
    }
    EXPECT_EQ(rings, 20);
    EXPECT_EQ(green, 0) << "no target is marked found";
}

// Escape while an image is fetched, or while the images are analysed on the worker: the window
// stays responsive, the run ends for good, and a result still to come is dropped rather than sent
// as a record (the next run's record is its own).
TEST(AutomaticFlow, EscapeWhileImagesAreFetchedOrAnalysedEndsTheRunForGood) {
    FlowHarness h{VirtualRig()};
    ASSERT_TRUE(h.connected);
    for (int step : {7, 9, int(AutomaticFlow::Analysing)}) {
        h.module->clearCounters();
        h.controller->StartACalibration();
        ASSERT_TRUE(eventsUntil([&] { return h.controller->currentFlowStep() == step; }, 20000));
        if (step == AutomaticFlow::Analysing) {
            EXPECT_EQ(h.window()->paintMode(), CalibDlg::Analysing);
            EXPECT_TRUE(h.window()->analysingText().contains(QStringLiteral("Analysing")));
        }
        QTest::keyClick(h.window(), Qt::Key_Escape);
        EXPECT_EQ(h.controller->currentFlowStep(), 0);
        EXPECT_FALSE(h.window()->isVisible());
        // What was on its way (the image, or the analysis to its next step) still ends, but
        // advances nothing.
        ASSERT_TRUE(moduleSettled(h));
        ASSERT_TRUE(eventsUntil([&] { return h.controller->imageAnalysisIdle(); }, 20000));
        EXPECT_EQ(h.controller->currentFlowStep(), 0);
        EXPECT_EQ(h.module->commandCount(CMD_STOP_TRACKING), 1);
        EXPECT_EQ(h.module->commandCount(CMD_AC_PATTERN_START), step == AutomaticFlow::Analysing ? 1 : 0);
        EXPECT_EQ(h.module->commandCount(CMD_SET_CALIB_PARAMETER), 0);
    }
    // The next start begins again with the black capture.
    h.module->clearCounters();
    h.controller->StartACalibration();
    EXPECT_EQ(h.controller->currentFlowStep(), 6);
    ASSERT_TRUE(h.runToEnd());
    EXPECT_EQ(h.module->commandCount(CMD_AC_BLACK_START), 1);
    EXPECT_EQ(h.module->commandCount(CMD_SET_CALIB_PARAMETER), 1);
}

TEST(AutomaticFlow, UnsupportedFirmwareIgnoresEveryStart) {
    FlowHarness h{VirtualRig()};
    ASSERT_TRUE(h.connected);
    h.controller->slotSetFWVersion(QStringLiteral("52.00"));
    h.module->clearCounters();
    h.controller->StartACalibration();
    h.controller->StartSCalibration();
    h.controller->StartMCalibration();
    ASSERT_TRUE(moduleSettled(h));
    EXPECT_FALSE(h.window()->isVisible());
    EXPECT_EQ(h.controller->currentFlowStep(), 0);
    for (std::uint32_t code : {CMD_AC_BLACK_START, CMD_MC_START, CMD_SET_IMAGE_REVERSE})
        EXPECT_EQ(h.module->commandCount(code), 0) << std::hex << code;
}

TEST(AutomaticFlow, APatternEndAfterTheRecordEndsTheRunWithoutRatioCheck) {
    FlowHarness h{VirtualRig()};
    ASSERT_TRUE(h.connected);
    h.module->setCalibAnswer(SimulatedModule::CalibAnswer::PatternEnd);
    h.controller->StartACalibration();
    ASSERT_TRUE(h.runToEnd());
    EXPECT_EQ(h.module->commandCount(CMD_SEND_COORD), 0);
    EXPECT_EQ(h.module->commandCount(CMD_SET_FIX_COORD_RATIO), 0);
    EXPECT_TRUE(h.boxes.isEmpty());
}

namespace {

// The installation's camera with a white patch where the pattern's first target (a disc in the top
// left corner) is: that target is never found.
class PatchedCamera : public FrameSource {
public:
    explicit PatchedCamera(std::unique_ptr<FrameSource> camera)
        : inner(std::move(camera)) {}
    void captureCalibration(Capture kind, const Sensor& sensor, std::uint8_t* out) override {
        inner->captureCalibration(kind, sensor, out);
        if (kind != Capture::Pattern)
            return;
        for (int y = 60; y < 170; ++y)
            for (int x = 90; x < 220; ++x)
                out[y * calibWidth + x] = 255;
    }
    void captureLive(const Sensor& sensor, std::uint8_t* out) override { inner->captureLive(sensor, out); }

private:
    std::unique_ptr<FrameSource> inner;
};

} // namespace

// The semi-automatic fit needs every target and fails; the automatic one does without the missing
// target and succeeds, so the run goes on as automatic and says so with M25 at its end.
TEST(SemiAutomaticFallback, AMissingTargetEndsWithM25AfterTheRatioCheck) {
    VirtualRig rig;
    FlowHarness h(rig);
    ASSERT_TRUE(h.connected);
    h.module->setFrameSource(std::make_unique<PatchedCamera>(std::make_unique<ScreenCamera>(*h.bridge, rig)));
    h.controller->StartSCalibration();
    ASSERT_TRUE(h.runToEnd());
    ASSERT_EQ(h.boxes.size(), 1) << "no M14: the calibration itself succeeded";
    EXPECT_EQ(h.boxes.first().kind, MessageBoxSeam::Kind::Information);
    EXPECT_EQ(h.boxes.first().text,
              QStringLiteral("Auto Calibration Tuning failed. Proceeded as normal Auto Calibration."));
    EXPECT_EQ(h.module->commandCount(CMD_MC_START), 0) << "no touch phase";
    EXPECT_EQ(h.module->commandCount(CMD_SEND_COORD), 2);
    const std::vector<std::uint8_t> record = h.module->lastCalibRecord();
    ASSERT_EQ(record.size(), 370u);
    EXPECT_EQ(record[112], 0) << "no tweak offsets";
}
