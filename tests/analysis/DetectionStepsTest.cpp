// The building blocks of detection: threshold candidates, robust mean, contour size test, the
// inverse search, normalisation and the once-only process state.
#include "analysis/CircleBounds.h"
#include "analysis/CirclePass.h"
#include "analysis/DetectionMapping.h"
#include "analysis/PatternAnalyzer.h"
#include "analysis/PatternNormaliser.h"
#include "analysis/RobustMean.h"
#include "analysis/ThresholdCandidates.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <random>

namespace {

TEST(ThresholdCandidates, TwentyOrFewerLevelsComeBackAscending) {
    std::array<int, 256> histogram{};
    for (int level : {200, 3, 90, 254, 17})
        histogram[static_cast<size_t>(level)] = 129;
    histogram[50] = 128; // not above width / 10
    histogram[0] = 5000; // level 0 is never a candidate
    EXPECT_EQ(thresholdCandidatesFromHistogram(histogram.data(), 1280),
              (std::vector<int>{3, 17, 90, 200, 254}));
}

TEST(ThresholdCandidates, ManyLevelsAreThinnedAroundTheBestPopulated) {
    std::array<int, 256> histogram{};
    // 30 qualifying levels 10..39, counts rising with the level; 40 is the most populated.
    for (int level = 10; level < 40; ++level)
        histogram[static_cast<size_t>(level)] = 200 + level;
    histogram[40] = 1000;
    const std::vector<int> accepted = thresholdCandidatesFromHistogram(histogram.data(), 1280);
    // f = mean of the 20th and 21st largest counts (levels 21 and 20) -> 220; lo..hi = 20..40.
    EXPECT_EQ(accepted, (std::vector<int>{40, 35, 30, 25, 20}));
}

TEST(ThresholdCandidates, EqualCountsKeepTheExchangeSortOrder) {
    std::array<int, 256> histogram{};
    for (int level = 100; level < 125; ++level)
        histogram[static_cast<size_t>(level)] = 500;
    const std::vector<int> accepted = thresholdCandidatesFromHistogram(histogram.data(), 1280);
    // With all counts equal no swap happens: levels are taken in ascending order, 5 apart.
    EXPECT_EQ(accepted, (std::vector<int>{100, 105, 110, 115, 120}));
}

TEST(ThresholdCandidates, ImageLevel255IsNotCounted) {
    cv::Mat image(720, 1280, CV_8UC1, cv::Scalar(255));
    image(cv::Rect(0, 0, 200, 1)).setTo(77);
    EXPECT_EQ(thresholdCandidates(image), (std::vector<int>{77}));
}

TEST(RobustMean, RejectsOutliersBeyondThreeDeviations) {
    EXPECT_EQ(robustMean({}), cv::Point2d(0.0, 0.0));
    std::vector<cv::Point2d> points(20, cv::Point2d(100.0, 50.0));
    for (size_t i = 0; i < points.size(); ++i)
        points[i].x += (i % 2 ? 0.5 : -0.5);
    points.push_back({160.0, 50.0});
    const cv::Point2d m = robustMean(points);
    EXPECT_NEAR(m.x, 100.0, 1e-9);
    EXPECT_NEAR(m.y, 50.0, 1e-9);
    // Tight clusters return the plain mean.
    EXPECT_NEAR(robustMean({{1.0, 1.0}, {1.1, 1.05}}).x, 1.05, 1e-12);
}

TEST(RobustMean, SpreadAlongOneAxisKeepsEveryPoint) {
    // Two groups far apart sit at exactly one deviation, well inside three; the tight y axis uses
    // the 0.01 floor instead of its zero deviation.
    const cv::Point2d m = robustMean({{0.0, 5.0}, {10.0, 5.0}, {0.0, 5.0}, {10.0, 5.0}});
    EXPECT_NEAR(m.x, 5.0, 1e-12);
    EXPECT_NEAR(m.y, 5.0, 1e-12);
}

TEST(CircleContours, CameraSizeLimitsAreInclusive) {
    EXPECT_TRUE(CirclePass::acceptsInCamera(160, 160, 20000.0, 24));
    EXPECT_FALSE(CirclePass::acceptsInCamera(161, 100, 5000.0, 24));
    EXPECT_FALSE(CirclePass::acceptsInCamera(100, 161, 5000.0, 24));
    EXPECT_TRUE(CirclePass::acceptsInCamera(24, 24, 200.0, 24));
    EXPECT_FALSE(CirclePass::acceptsInCamera(40, 40, 199.0, 24));
    EXPECT_FALSE(CirclePass::acceptsInCamera(23, 40, 500.0, 24));
    EXPECT_FALSE(CirclePass::acceptsInCamera(40, 21, 500.0, 24));
    EXPECT_TRUE(CirclePass::acceptsInCamera(40, 21, 500.0, 20));
    EXPECT_FALSE(CirclePass::acceptsInCamera(150, 150, 20001.0, 24));
}

HomographySeed identitySeed() {
    HomographySeed seed;
    for (int i = 0; i < 9; ++i) {
        const double u = 100.0 + 400.0 * (i % 3), v = 100.0 + 250.0 * (i / 3);
        seed.addPair(u, v, u, v);
    }
    seed.solve();
    return seed;
}

TEST(CircleContours, WideContourIsRejectedBeforeMapping) {
    // Identity mapping, 1920 x 1080 discs (diameter 151): an ellipse of box width 161 would pass
    // the screen test but must fail the camera test; 160 passes both.
    const HomographySeed seed = identitySeed();
    const DetectionMapping mapping(LensPreset{}, seed);
    std::array<double, 40> targets{};
    targets[0] = 300.0;
    targets[1] = 300.0;
    for (int width : {160, 161}) {
        cv::Mat image(720, 1280, CV_8UC1, cv::Scalar(255));
        // Measure what the contour box of a drawn ellipse is, then draw the one with this width.
        cv::Rect box;
        for (int k = 0; k < 20 && box.width != width; ++k) {
            const int axis = width / 2 - 10 + k / 2;
            image.setTo(255);
            for (int shift = 0; shift <= k % 2; ++shift)
                cv::ellipse(image, cv::Point(300 - shift, 300), cv::Size(axis, 74), 0.0, 0.0, 360.0,
                            cv::Scalar(0), cv::FILLED);
            cv::Mat binary = image > 128;
            std::vector<std::vector<cv::Point>> contours;
            cv::findContours(binary, contours, cv::RETR_CCOMP, cv::CHAIN_APPROX_SIMPLE);
            ASSERT_EQ(contours.size(), 2u);
            box = cv::boundingRect(contours[1]);
        }
        ASSERT_EQ(box.width, width);
        CircleBounds bounds;
        CirclePass::Setup setup;
        setup.targetsXY = targets.data();
        setup.count = 20;
        setup.screenWidth = 1920;
        setup.screenHeight = 1080;
        setup.lens = 1;
        CirclePass pass(mapping, setup, bounds);
        pass.runContourPass(image, 128);
        const cv::Point2d centre = pass.centre(0);
        if (width == 160) {
            EXPECT_NEAR(centre.x, 300.0, 0.6);
            EXPECT_NEAR(centre.y, 300.0, 0.6);
        } else {
            EXPECT_EQ(centre, cv::Point2d(0.0, 0.0));
        }
    }
}

TEST(InverseSearch, FindsTheCameraPointOnTheGrid) {
    const HomographySeed seed = identitySeed();
    const DetectionMapping mapping(LensPreset{}, seed);
    const cv::Point2d r = mapping.refineByInverseSearch({503.33, 201.13}, {500.0, 200.0});
    EXPECT_NEAR(r.x, 503.4, 0.01);
    EXPECT_NEAR(r.y, 201.2, 0.01);
    // A point on the search grid is found again.
    EXPECT_NEAR(mapping.refineByInverseSearch({500.0, 200.0}, {500.0, 200.0}).y, 200.0, 0.01);
    // Beyond the ±10 window the search stops at its edge.
    const cv::Point2d edge = mapping.refineByInverseSearch({530.0, 200.0}, {500.0, 200.0});
    EXPECT_GT(edge.x, 509.7);
    EXPECT_LT(edge.x, 510.0);
}

TEST(InverseSearch, DescentEndsWhereTheWholeGridScanDoes) {
    // Every lens's strongest preset, a keystoned and turned screen, and points from the frame's
    // centre to its corners, some of them beyond the ±10 window: the descent must give the very
    // grid point the scan of all 10,000 does, or every disc centre would move.
    HomographySeed seed;
    for (int i = 0; i < 9; ++i) {
        const double u = 150.0 + 480.0 * (i % 3), v = 90.0 + 270.0 * (i / 3);
        seed.addPair(u, v, 1.7 * u + 0.3 * v + 0.0004 * u * v - 120.0,
                     1.6 * v - 0.25 * u + 0.0003 * v * v + 40.0);
    }
    ASSERT_TRUE(seed.solve());
    std::mt19937 random(11);
    std::uniform_real_distribution<double> cameraX(5.0, 1275.0), cameraY(5.0, 715.0), off(-14.0, 14.0);
    int compared = 0;
    for (int lens = 1; lens <= 4; ++lens) {
        const DetectionMapping mapping(LensPreset::forLens(static_cast<eLens>(lens), 12), seed);
        for (int k = 0; k < 150; ++k) {
            const cv::Point2d c(cameraX(random), cameraY(random));
            double mx = 0.0, my = 0.0;
            mapping.map(c.x + off(random), c.y + off(random), mx, my);
            const cv::Point2d m(mx, my);
            ASSERT_EQ(mapping.refineByInverseSearch(m, c), mapping.refineByWholeGridScan(m, c))
                << "lens " << lens << " at " << c << " for " << m;
            ++compared;
        }
    }
    EXPECT_EQ(compared, 600);
}

TEST(InverseSearch, RoundingTakesHalvesUpward) {
    EXPECT_EQ(roundHalfUp(2.5), 3);
    EXPECT_EQ(roundHalfUp(-2.5), -2);
    EXPECT_EQ(roundHalfUp(-2.6), -3);
    EXPECT_EQ(roundHalfUp(1e300), 1000000000);
}

// Frames of 2 x 4 uniform blocks, 40 pixels square, each block one (dark, bright, pattern) case.
cv::Mat blocks(const uchar (&levels)[8]) {
    cv::Mat frame(80, 160, CV_8UC1);
    for (int k = 0; k < 8; ++k)
        frame(cv::Rect(40 * (k % 4), 40 * (k / 4), 40, 40)).setTo(levels[k]);
    return frame;
}

uchar blockCentre(const cv::Mat& out, int k) {
    return out.at<uchar>(40 * (k / 4) + 20, 40 * (k % 4) + 20);
}

TEST(Normalisation, FollowsTheIntegerFormulaOnTheProjection) {
    PatternNormaliser normaliser;
    const uchar d[8] = {10, 10, 10, 50, 200, 0, 20, 20};
    const uchar b[8] = {210, 210, 210, 50, 100, 255, 35, 36};
    const uchar p[8] = {10, 210, 110, 0, 0, 0, 20, 20};
    cv::Mat out;
    ASSERT_TRUE(normaliser.normalise(blocks(d), blocks(b), blocks(p), out));
    // range 200: drop 200 -> 255 - 51200/201 = 1; drop 0 -> 255; drop 100 -> 255 - 127.
    EXPECT_EQ(blockCentre(out, 0), 1);
    EXPECT_EQ(blockCentre(out, 1), 255);
    EXPECT_EQ(blockCentre(out, 2), 128);
    EXPECT_EQ(blockCentre(out, 3), 255) << "no range";
    EXPECT_EQ(blockCentre(out, 4), 255) << "negative range";
    EXPECT_EQ(blockCentre(out, 5), 0) << "full drop clamps to 255";
    // Beside a screen 200 levels bright, a patch 15 or 16 levels bright is not the projection.
    EXPECT_EQ(blockCentre(out, 6), 255);
    EXPECT_EQ(blockCentre(out, 7), 255);

    // The same 15 and 16 levels are the projection when they are the screen's whole range.
    const uchar dimDark[8] = {20, 20, 20, 20, 20, 20, 20, 20};
    const uchar dimBright[8] = {35, 35, 35, 35, 36, 36, 36, 36};
    const uchar dimPattern[8] = {20, 35, 28, 35, 20, 36, 28, 36};
    ASSERT_TRUE(normaliser.normalise(blocks(dimDark), blocks(dimBright), blocks(dimPattern), out));
    EXPECT_EQ(blockCentre(out, 0), 255 - 256 * 15 / 16) << "range 15, drop 15";
    EXPECT_EQ(blockCentre(out, 1), 255);
    EXPECT_EQ(blockCentre(out, 2), 255 - 256 * 7 / 16);
    EXPECT_EQ(blockCentre(out, 4), 255 - 256 * 16 / 17) << "range 16, drop 16";
    EXPECT_EQ(blockCentre(out, 6), 255 - 256 * 8 / 17);

    cv::Mat dark = blocks(d), bright = blocks(b);
    cv::Mat wrong(3, 3, CV_8UC1);
    EXPECT_FALSE(normaliser.normalise(dark, bright, wrong, out));
    cv::Mat deep(80, 160, CV_16UC1);
    EXPECT_FALSE(normaliser.normalise(dark, bright, deep, out));
}

TEST(TweakTable, FollowsLensAndStoredOffsets) {
    PatternAnalyzer analyzer;
    std::array<float, 40> targets{};
    analyzer.setTargets(targets.data(), 20, 1280, 800, 2, 0, nullptr, 10);
    EXPECT_FLOAT_EQ(analyzer.tweakTable[0].x, -2.84f);
    EXPECT_EQ(analyzer.storedFwMinor(), 0) << "only lens type 3 stores the firmware minor";
    analyzer.setTargets(targets.data(), 20, 1280, 800, 3, 0, nullptr, 9);
    EXPECT_FLOAT_EQ(analyzer.tweakTable[0].x, -3.55f);
    EXPECT_EQ(analyzer.storedFwMinor(), 9);
    analyzer.setTargets(targets.data(), 20, 1280, 800, 3, 0, nullptr, 12);
    EXPECT_FLOAT_EQ(analyzer.tweakTable[19].y, 0.34f);
    const std::array<float, 4> stored{1.5f, -2.5f, 3.0f, 4.0f};
    analyzer.setTargets(targets.data(), 20, 1280, 800, 1, 2, stored.data(), 10);
    EXPECT_FLOAT_EQ(analyzer.tweakTable[1].x, 3.0f);
    EXPECT_FLOAT_EQ(analyzer.tweakTable[19].y, 0.34f) << "stored offsets replace only their own entries";
    // With stored offsets the wide lens still takes the preset of the module's firmware.
    analyzer.setTargets(targets.data(), 20, 1280, 800, 3, 2, stored.data(), 9);
    EXPECT_EQ(analyzer.storedFwMinor(), 9);
    EXPECT_FLOAT_EQ(analyzer.tweakTable[0].x, 1.5f);
    // Counts beyond the table are bounded.
    std::array<float, 100> many{};
    analyzer.setTargets(many.data(), 50, 1280, 800, 1, 50, many.data(), 10);
    EXPECT_EQ(analyzer.targets()[49], 0.0);
}

} // namespace
