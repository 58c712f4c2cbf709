// Captures far noisier than the clean scenes, and fits that would have to guess the part of the
// screen where targets are missing.
#include "AnalysisScene.h"

#include "analysis/FitUncertainty.h"
#include "analysis/PatternAnalyzer.h"
#include "analysis/PatternNormaliser.h"
#include "analysis/ThresholdCandidates.h"

#include <QPainter>
#include <cmath>
#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

namespace {

using Stage = AnalysisFailure::Stage;

class NoisyCapture : public testing::Test {};

TEST_F(NoisyCapture, SensorNoiseOfSigmaFourCalibrates) {
    // A modest screen in a dim room: 45 grey levels between black and white, noise sigma 4 on
    // every frame. Each pixel of the pattern frame is a coin toss near the discs' edges.
    AnalysisScene scene;
    scene.pose.keystone = 0.05;
    scene.pose.rollDegrees = 4.0;
    scene.light.black = 12.0;
    scene.light.white = 57.0;
    scene.light.noiseSigma = 4.0;
    scene.photograph();

    std::array<double, 13> params{};
    EXPECT_EQ(scene.analyse(params), 20);
    ASSERT_TRUE(scene.result.ok) << scene.result.failure.reason;
    PatternNormaliser normaliser;
    cv::Mat normalised;
    normaliser.normalise(scene.dark, scene.bright, scene.pattern, normalised);
    EXPECT_GT(normaliser.lastResultSmoothing(), 0.0) << "the noisy capture is smoothed";
    double rms = 0.0, max = 0.0;
    scene.mappingError(params, rms, max);
    EXPECT_LT(rms, 1.0);
    EXPECT_LT(max, 2.5);
}

TEST_F(NoisyCapture, CleanCaptureIsLeftAsComputed) {
    // Smoothing is for noise alone: a clean frame set keeps every pixel of the quotient sharp.
    EXPECT_EQ(PatternNormaliser::smoothingFor(1.0, 180.0, false), 0.0);
    EXPECT_EQ(PatternNormaliser::smoothingFor(0.0, 5.0, true), 0.0);
    EXPECT_EQ(PatternNormaliser::smoothingFor(3.0, 0.0, false), 0.0);
    // More noise or less range: more smoothing, never beyond the cap.
    const double some = PatternNormaliser::smoothingFor(3.0, 60.0, false);
    const double more = PatternNormaliser::smoothingFor(4.0, 30.0, false);
    EXPECT_GT(some, 0.0);
    EXPECT_GT(more, some);
    EXPECT_LE(PatternNormaliser::smoothingFor(5.0, 10.0, true), PatternNormaliser::maximumSmoothing);
}

TEST(ThresholdBetweenModes, LevelsLieBetweenTheDarkAndLitPeaks) {
    // Lit screen near 220, discs near 30, each with noise; the area off the screen is 255.
    cv::Mat image(720, 1280, CV_8UC1, cv::Scalar(255));
    image(cv::Rect(100, 100, 1000, 500)).setTo(220);
    for (int i = 0; i < 8; ++i)
        cv::circle(image, cv::Point(200 + 110 * i, 350), 40, cv::Scalar(30), cv::FILLED);
    cv::Mat noise(image.size(), CV_8SC1);
    cv::randn(noise, 0, 10);
    cv::Mat noisy;
    cv::add(image, noise, noisy, cv::noArray(), CV_8U);
    noisy.setTo(255, image == 255);

    const std::vector<int> levels = thresholdCandidatesBetweenModes(noisy, 9);
    ASSERT_EQ(levels.size(), 9u);
    EXPECT_TRUE(std::is_sorted(levels.begin(), levels.end()));
    EXPECT_GE(levels.front(), 70);
    EXPECT_LE(levels.back(), 185);

    // One flat level has no two peaks to lie between.
    const cv::Mat flat(720, 1280, CV_8UC1, cv::Scalar(128));
    EXPECT_TRUE(thresholdCandidatesBetweenModes(flat, 9).empty());
    const cv::Mat offScreen(720, 1280, CV_8UC1, cv::Scalar(255));
    EXPECT_TRUE(thresholdCandidatesBetweenModes(offScreen, 9).empty());
}

// Camera points of a 5 x 4 target grid over most of the frame (or its left two columns).
std::vector<double> targetGrid(bool leftHalfOnly) {
    std::vector<double> camera;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 5; ++column) {
            if (leftHalfOnly && column > 1)
                continue;
            camera.push_back(200.0 + 220.0 * column);
            camera.push_back(110.0 + 160.0 * row);
        }
    }
    return camera;
}

MappingModel mildLens() {
    MappingModel model;
    model.p = {1.5, 0.02, -250.0, -0.01, 1.5, -120.0, 1e-5, 2e-5, 640.0, 360.0, 1e-7, 1e-13, 1e-19};
    return model;
}

TEST(FitUncertainty, TargetsOnOneSideLeaveTheOtherUncertain) {
    const MappingModel model = mildLens();
    // Error as 20 targets with the drawing's scatter would leave it.
    const double error = 2.0 * 20 * 0.35 * 0.35;
    double all = 0.0, allWorst = 0.0, half = 0.0, halfWorst = 0.0;
    FitUncertainty(model, targetGrid(false), error).spreadOverScreen(1920, 1080, all, allWorst);
    FitUncertainty(model, targetGrid(true), error * 8 / 20).spreadOverScreen(1920, 1080, half, halfWorst);
    EXPECT_GT(all, 0.0);
    EXPECT_GT(half, 5.0 * all);
    EXPECT_GT(halfWorst, half);
    // The scatter is never taken below the drawing's, however well the points fit.
    EXPECT_DOUBLE_EQ(FitUncertainty(model, targetGrid(false), 0.0).scatter(), FitUncertainty::leastScatter);
}

TEST(FitUncertainty, TooFewOrCoincidentPointsDetermineNothing) {
    const MappingModel model = mildLens();
    double rms = 0.0, worst = 0.0;
    FitUncertainty(model, {100.0, 100.0, 300.0, 100.0, 100.0, 300.0}, 0.0)
        .spreadOverScreen(1920, 1080, rms, worst);
    EXPECT_TRUE(std::isinf(rms));
    std::vector<double> same;
    for (int i = 0; i < 20; ++i) {
        same.push_back(500.0);
        same.push_back(300.0);
    }
    FitUncertainty(model, same, 1.0).spreadOverScreen(1920, 1080, rms, worst);
    EXPECT_TRUE(std::isinf(rms));
}

// Paints white over the top row and the upper left side target: 14 targets remain, enough for the
// fit to run, all of them in the lower three quarters of the screen.
void coverTopOfScreen(QImage& screen, const AnalysisScene& s) {
    QPainter painter(&screen);
    const std::array<float, 40> t = s.targets();
    for (int id : {0, 1, 2, 3, 4, 5}) {
        const float x = t[static_cast<size_t>(2 * id)], y = t[static_cast<size_t>(2 * id + 1)];
        painter.fillRect(QRectF(x - 90.0f, y - 90.0f, 180.0f, 180.0f), Qt::white);
    }
}

TEST_F(NoisyCapture, FitThatWouldGuessTheCoveredTopIsRefused) {
    AnalysisScene scene;
    scene.lens = 3;
    scene.light.noiseSigma = 1.0;
    scene.photograph(coverTopOfScreen);
    std::array<double, 13> params{};
    EXPECT_EQ(scene.analyse(params), 14);
    EXPECT_FALSE(scene.result.ok);
    EXPECT_GT(scene.result.fitSpread, PatternAnalyzer::maximumSpread);
    const AnalysisFailure f = scene.result.failure;
    EXPECT_EQ(f.stage, Stage::FitAcceptance);
    EXPECT_NE(f.reason.find("do not cover enough of the screen"), std::string::npos) << f.reason;
    EXPECT_NE(f.reason.find("covered"), std::string::npos) << f.reason;
    EXPECT_EQ(f.missingTargets, (std::vector<int>{0, 1, 2, 3, 4, 5}));
}

TEST_F(NoisyCapture, OneCoveredTargetInTheMiddleOfTheSideStillCalibrates) {
    // A target whose neighbours all remain is placed by them: the spread stays small and the
    // fit is taken.
    AnalysisScene scene;
    scene.lens = 2;
    scene.photograph([](QImage& screen, const AnalysisScene& s) {
        QPainter painter(&screen);
        const std::array<float, 40> t = s.targets();
        painter.fillRect(QRectF(t[2 * 9] - 90.0f, t[2 * 9 + 1] - 90.0f, 180.0f, 180.0f), Qt::white);
    });
    std::array<double, 13> params{};
    EXPECT_EQ(scene.analyse(params), 19);
    EXPECT_TRUE(scene.result.ok) << scene.result.failure.reason << " spread " << scene.result.fitSpread;
    double rms = 0.0, max = 0.0;
    scene.mappingError(params, rms, max);
    EXPECT_LT(rms, 1.0);
}

} // namespace
