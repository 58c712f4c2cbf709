// Captures a person would call plainly visible but that carry only a few grey levels between the
// black and the white screen: a dim projector, a bright room or a long throw.
#include "AnalysisScene.h"

#include "analysis/PatternNormaliser.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <random>

namespace {

// The frames of the example installation with the white-minus-black difference scaled by
// contrast, then sensor noise added again to all three.
void dimmed(AnalysisScene& scene, double contrast, double noiseSigma) {
    scene.light.noiseSigma = 0.0;
    scene.photograph();
    std::mt19937 generator(5);
    std::normal_distribution<double> noise(0.0, noiseSigma);
    auto scale = [&](cv::Mat& frame) {
        for (int y = 0; y < frame.rows; ++y) {
            const uchar* d = scene.dark.ptr<uchar>(y);
            uchar* f = frame.ptr<uchar>(y);
            for (int x = 0; x < frame.cols; ++x)
                f[x] = cv::saturate_cast<uchar>(d[x] + contrast * (f[x] - d[x]) + noise(generator));
        }
    };
    scale(scene.bright);
    scale(scene.pattern);
    for (int y = 0; y < scene.dark.rows; ++y) {
        uchar* d = scene.dark.ptr<uchar>(y);
        for (int x = 0; x < scene.dark.cols; ++x)
            d[x] = cv::saturate_cast<uchar>(d[x] + noise(generator));
    }
}

class DimCapture : public testing::TestWithParam<double> {};

TEST_P(DimCapture, CalibratesWithEveryTargetFound) {
    AnalysisScene scene;
    scene.pose.keystone = 0.03;
    scene.pose.rollDegrees = 1.0;
    dimmed(scene, GetParam(), 1.5);

    std::array<double, 13> params{};
    EXPECT_EQ(scene.analyse(params), 20);
    ASSERT_TRUE(scene.result.ok);
    double rms = 0.0, max = 0.0;
    scene.mappingError(params, rms, max);
    EXPECT_LT(rms, 1.0);
    EXPECT_LT(max, 3.0);
}

INSTANTIATE_TEST_SUITE_P(ScaledContrast, DimCapture, testing::Values(0.09, 0.07));

TEST(Normalisation, TellsTheDimScreenFromTheNoiseAroundIt) {
    AnalysisScene scene;
    dimmed(scene, 0.07, 1.5);
    cv::Mat out;
    PatternNormaliser normaliser;
    ASSERT_TRUE(normaliser.normalise(scene.dark, scene.bright, scene.pattern, out));
    // The screen spans most of the frame; the frame's corners see the room only and stay 255.
    const double projected = normaliser.lastProjectedFraction();
    EXPECT_GT(projected, 0.4);
    EXPECT_LT(projected, 0.95);
    EXPECT_EQ(out.at<uchar>(0, 0), 255);
    EXPECT_EQ(out.at<uchar>(719, 1279), 255);
    // Off the screen nothing but 255: noise never reaches the detection there.
    const cv::Rect corner(0, 0, 40, 40);
    EXPECT_EQ(cv::countNonZero(out(corner) != 255), 0);
}

} // namespace
