// Every found element is paired with the screen point where the calibration window draws it: the
// pairing follows the painted pattern, a noise-free calibration then fits the camera to a small
// fraction of a pixel, and a tuning from touches that land exactly on the targets changes nothing.
#include "AnalysisScene.h"

#include "analysis/DrawnPattern.h"
#include "analysis/ImageAnalysis.h"
#include "calibration/CalibrationAnalysis.h"
#include "calibration/PatternGeometry.h"
#include "calibration/PatternPainter.h"
#include "calibration/TouchOrder.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

struct Mounting {
    int ceiling;
    int rear;
};

const Mounting mountings[] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};

// The centre of the dark pixels' extent around a whole pixel of the painted pattern.
cv::Point2d paintedCentre(const QImage& image, int x, int y, int reach) {
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int yy = std::max(0, y - reach); yy <= std::min(image.height() - 1, y + reach); ++yy) {
        const uchar* row = image.constScanLine(yy);
        for (int xx = std::max(0, x - reach); xx <= std::min(image.width() - 1, x + reach); ++xx) {
            if (row[xx] < 128) {
                left = std::min(left, xx);
                right = std::max(right, xx);
                top = std::min(top, yy);
                bottom = std::max(bottom, yy);
            }
        }
    }
    return {(left + right) / 2.0, (top + bottom) / 2.0};
}

TEST(DrawnCentrePairing, PairsEveryElementWithTheCentreThePatternIsPaintedAround) {
    const int sizes[][2] = {{1280, 800}, {1920, 1080}, {1024, 768}, {1366, 768}};
    for (const auto& size : sizes) {
        const int width = size[0], height = size[1];
        const PatternGeometry::AutomaticTargets targets = PatternGeometry::automaticTargets(width, height);
        std::array<double, 40> targetsXY{};
        for (size_t i = 0; i < targets.size(); ++i) {
            targetsXY[2 * i] = targets[i].x();
            targetsXY[2 * i + 1] = targets[i].y();
        }
        const int reach = 2 * PatternGeometry::discRadius(width, height);
        for (const Mounting& m : mountings) {
            const QImage image = PatternPainter::render(width, height, m.ceiling, m.rear);
            const DrawnPattern::Centres paired =
                DrawnPattern::centres(targetsXY.data(), width, height, m.ceiling, m.rear);
            for (int row = 0; row < 4; ++row) {
                for (int position = 0; position < 5; ++position) {
                    const QPointF& at = targets[static_cast<size_t>(5 * row + position)];
                    cv::Point2d painted = paintedCentre(image, PatternGeometry::nearest(at.x()),
                                                        PatternGeometry::nearest(at.y()), reach);
                    // Into the frame the fitted model maps to.
                    if (m.ceiling != m.rear)
                        painted.x = width - 1.0 - painted.x;
                    if (m.ceiling == 1)
                        painted.y = height - 1.0 - painted.y;
                    const int slot = PatternGeometry::slotNumber(row, position, m.ceiling, m.rear);
                    const cv::Point2d& p = paired[static_cast<size_t>(slot)];
                    EXPECT_DOUBLE_EQ(p.x, painted.x)
                        << width << "x" << height << " mounting " << m.ceiling << m.rear << " slot " << slot;
                    EXPECT_DOUBLE_EQ(p.y, painted.y)
                        << width << "x" << height << " mounting " << m.ceiling << m.rear << " slot " << slot;
                }
            }
        }
    }
}

class NoiseFreeCalibration : public testing::TestWithParam<Mounting> {
protected:
    static AnalysisScene scene(const Mounting& m) {
        AnalysisScene s = AnalysisScene::shortThrow1280x800();
        s.ceiling = m.ceiling == 1;
        s.rear = m.rear == 1;
        s.pose.keystone = 0.03;
        s.pose.rollDegrees = 1.0;
        s.light.blurSigma = 0.8;
        s.photograph();
        return s;
    }
};

TEST_P(NoiseFreeCalibration, FitsTheCameraToATenthOfAPixel) {
    AnalysisScene s = scene(GetParam());
    std::array<double, 13> params{};
    ASSERT_EQ(s.analyse(params), 20);
    ASSERT_TRUE(s.result.ok);
    double rms = 0.0, max = 0.0;
    s.mappingError(params, rms, max);
    EXPECT_LT(rms, 0.1);
    EXPECT_LT(max, 0.3);
}

TEST_P(NoiseFreeCalibration, TuningFromTouchesOnTheTargetsKeepsTheFit) {
    const Mounting m = GetParam();
    const AnalysisScene s = scene(m);
    AnalysisSetup semiAutomatic = s.setup();
    semiAutomatic.tuning = true;
    const AnalysisResult detected = analyse({s.dark, s.bright, s.pattern}, semiAutomatic);
    ASSERT_EQ(detected.found, 20);
    ASSERT_TRUE(detected.ok && detected.tuning) << "the semi-automatic fit on the raw detections";

    // The pen touches each target's own pixel, where the pen picture is centred; the module
    // reports where its camera saw it, in its order of touching.
    const PatternGeometry::AutomaticTargets byRow = PatternGeometry::automaticTargets(s.width, s.height);
    const MappingModel physical = VirtualScene::mounted(s.truth, s.width, s.height, s.ceiling, s.rear);
    std::array<cv::Point2f, 20> seen{};
    for (int row = 0; row < 4; ++row) {
        for (int position = 0; position < 5; ++position) {
            const QPointF& at = byRow[static_cast<size_t>(5 * row + position)];
            double x = 0.0, y = 0.0;
            ASSERT_TRUE(VirtualCamera::screenToCamera(physical, at.x(), at.y(), x, y));
            seen[static_cast<size_t>(PatternGeometry::slotNumber(row, position, m.ceiling, m.rear))] =
                cv::Point2f(static_cast<float>(x), static_cast<float>(y));
        }
    }
    const int* slotOf = TouchOrder::slotTable(true, m.ceiling, m.rear, 20);
    ASSERT_NE(slotOf, nullptr);
    std::array<float, 50> moduleSlots{};
    for (size_t i = 0; i < 20; ++i) {
        moduleSlots[2 * static_cast<size_t>(slotOf[i])] = seen[i].x;
        moduleSlots[2 * static_cast<size_t>(slotOf[i]) + 1] = seen[i].y;
    }
    const PatternGeometry::AutomaticTargets window = PatternGeometry::semiAutomaticTargets(s.width, s.height);
    const CalibrationAnalysis::TouchFit touch =
        CalibrationAnalysis::fitTouchedPoints(moduleSlots.data(), true, m.ceiling, m.rear, 20, window.data(),
                                              {s.width, s.height}, s.lens, s.fwMinor, detected.rawPoints);
    ASSERT_TRUE(touch.ok);

    // The touches agree with the pattern: no offset beyond what detection leaves, on markers as on
    // discs, and the touched points alone fit the camera as well.
    for (size_t i = 0; i < 20; ++i) {
        EXPECT_NEAR(touch.tweaks[2 * i], 0.0f, 0.35f) << "target " << i;
        EXPECT_NEAR(touch.tweaks[2 * i + 1], 0.0f, 0.35f) << "target " << i;
    }
    double rms = 0.0, max = 0.0;
    s.mappingError(touch.params, rms, max);
    EXPECT_LT(rms, 0.1);
    // An automatic calibration with the learned offsets is as accurate as one without.
    AnalysisSetup learned = s.setup();
    for (size_t i = 0; i < 20; ++i)
        learned.storedOffsets[i] = cv::Point2f(touch.tweaks[2 * i], touch.tweaks[2 * i + 1]);
    const AnalysisResult later = analyse({s.dark, s.bright, s.pattern}, learned);
    ASSERT_TRUE(later.ok);
    s.mappingError(later.params, rms, max);
    EXPECT_LT(rms, 0.1);
}

INSTANTIATE_TEST_SUITE_P(EachMounting, NoiseFreeCalibration,
                         testing::Values(Mounting{0, 0}, Mounting{1, 0}, Mounting{0, 1}, Mounting{1, 1}),
                         [](const testing::TestParamInfo<Mounting>& mounting) {
                             return std::string(mounting.param.ceiling ? "ceiling" : "floor") +
                                    (mounting.param.rear ? "Rear" : "Front");
                         });

} // namespace
