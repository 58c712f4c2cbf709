// The mapping model, the seed, the multi-start fit with its run conditions, and the row limit.
#include "analysis/MappingFit.h"
#include "analysis/HomographySeed.h"
#include "analysis/MappingModel.h"
#include "analysis/PatternAnalyzer.h"
#include "analysis/TopRowLimit.h"
#include "calibration/PatternGeometry.h"
#include "sim/VirtualCamera.h"
#include "sim/VirtualScene.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

constexpr int screenW = 1920;
constexpr int screenH = 1080;

// Twenty camera points on a 5 x 4 grid and where a plain projective map puts them on the screen.
void projectiveGrid(std::array<float, 40>& camera, std::array<double, 40>& screen) {
    MappingModel model;
    model.p = {1.4, 0.05, -20.0, -0.03, 1.5, 10.0, 1e-5, 2e-5, 640.0, 360.0, 0.0, 0.0, 0.0};
    for (size_t i = 0; i < 20; ++i) {
        camera[2 * i] = static_cast<float>(100 + 250 * (i % 5));
        camera[2 * i + 1] = static_cast<float>(80 + 180 * (i / 5));
        model.cameraToScreen(camera[2 * i], camera[2 * i + 1], screen[2 * i], screen[2 * i + 1]);
    }
}

class AnalyzerFit : public testing::Test {
protected:
    void SetUp() override {
        VirtualPose pose;
        pose.keystone = 0.04;
        pose.distortionScale = 1.1;
        truth = VirtualScene::groundTruth(screenW, screenH, 2, 10, pose);
        const PatternGeometry::AutomaticTargets t = PatternGeometry::automaticTargets(screenW, screenH);
        for (size_t i = 0; i < 20; ++i) {
            targets[2 * i] = static_cast<float>(t[i].x());
            targets[2 * i + 1] = static_cast<float>(t[i].y());
        }
        const std::array<float, 40> zeros{};
        analyzer().setTargets(targets.data(), 20, screenW, screenH, 2, 20, zeros.data(), 10);
        analyzer().clearDetections();
        for (size_t i = 0; i < 20; ++i) {
            double x = 0.0, y = 0.0;
            // A perfect detection: where the camera sees the element drawn for the target.
            VirtualCamera::screenToCamera(truth, analyzer().drawnCentres()[2 * i],
                                          analyzer().drawnCentres()[2 * i + 1], x, y);
            camera[i] = cv::Point2f(static_cast<float>(x), static_cast<float>(y));
        }
        analyzer().correctedPoints = camera;
        analyzer().rawPoints = camera;
    }
    PatternAnalyzer& analyzer() { return state; }
    void keepOnly(std::initializer_list<int> valid) {
        analyzer().correctedPoints.fill({0.0f, 0.0f});
        for (int j : valid)
            analyzer().correctedPoints[static_cast<size_t>(j)] = camera[static_cast<size_t>(j)];
    }

    PatternAnalyzer state;
    MappingModel truth;
    std::array<float, 40> targets{};
    PatternAnalyzer::PointTable camera{};
};

TEST_F(AnalyzerFit, ConsistentPointsFitTheModelThatMadeThem) {
    std::array<double, 13> params{};
    ASSERT_TRUE(analyzer().fitAutomatic(params.data()));
    EXPECT_LT(analyzer().fitError, 64.0 * 20);
    EXPECT_GT(analyzer().fitIterations, 0);
    const MappingModel fitted(params);
    for (size_t j = 0; j < 20; ++j) {
        double x = 0.0, y = 0.0;
        fitted.cameraToScreen(camera[j].x, camera[j].y, x, y);
        EXPECT_NEAR(x, targets[2 * j], 2.0);
        EXPECT_NEAR(y, targets[2 * j + 1], 2.0);
    }
}

TEST_F(AnalyzerFit, AutomaticFitNeedsTwelveValidPointsWithTwoOnTheSides) {
    std::array<double, 13> params{};
    // Twelve valid, two of them side targets (0 and 19): the fit runs and writes its parameters.
    // Whether it is taken is then the spread's call: most of the lower half is missing here, so
    // it is refused for that alone.
    keepOnly({0, 1, 2, 3, 6, 7, 8, 11, 12, 13, 16, 19});
    params.fill(5.0);
    const bool taken = analyzer().fitAutomatic(params.data());
    EXPECT_NE(params[0], 5.0);
    EXPECT_GT(analyzer().fitIterations, 0);
    EXPECT_EQ(taken, analyzer().fitSpread <= PatternAnalyzer::maximumSpread);
    EXPECT_GT(analyzer().fitSpread, PatternAnalyzer::maximumSpread);
    // Eleven valid: does not run and leaves the buffer alone.
    keepOnly({0, 1, 2, 3, 6, 7, 8, 11, 12, 13, 19});
    params.fill(5.0);
    EXPECT_FALSE(analyzer().fitAutomatic(params.data()));
    EXPECT_FALSE(analyzer().fitOk);
    EXPECT_EQ(params[0], 5.0);
    // Twelve valid but only one side target.
    keepOnly({0, 1, 2, 3, 6, 7, 8, 11, 12, 13, 16, 17});
    EXPECT_FALSE(analyzer().fitAutomatic(params.data()));
    EXPECT_EQ(params[0], 5.0);
}

TEST_F(AnalyzerFit, PointsExactlyOnThreeCountAsMissing) {
    std::array<double, 13> params{};
    params.fill(5.0);
    analyzer().correctedPoints[7].x = 3.0f;
    EXPECT_FALSE(analyzer().fitAllTargets(false, params.data()));
    analyzer().correctedPoints[7] = camera[7];
    analyzer().correctedPoints[9].y = 3.0f;
    EXPECT_FALSE(analyzer().fitAllTargets(false, params.data()));
    EXPECT_EQ(params[0], 5.0);
    analyzer().correctedPoints[9].y = std::nextafter(3.0f, 4.0f);
    EXPECT_TRUE(PatternAnalyzer::isValid(analyzer().correctedPoints[9]));
    analyzer().correctedPoints[9] = camera[9];
    EXPECT_TRUE(analyzer().fitAllTargets(false, params.data()));
    EXPECT_TRUE(analyzer().fitAllTargets(true, params.data()));
}

TEST_F(AnalyzerFit, ManualFitUsesSixteenPointsAndClearingResetsTheResult) {
    std::array<double, 13> params{};
    EXPECT_TRUE(analyzer().fitManualPoints(params.data()));
    analyzer().clearCorrected();
    EXPECT_FALSE(analyzer().fitOk);
    EXPECT_EQ(analyzer().fitIterations, 0);
    EXPECT_EQ(analyzer().fitError, 0.0);
    EXPECT_TRUE(PatternAnalyzer::isValid(analyzer().rawPoints[0])) << "clearCorrected keeps the raw table";
    EXPECT_FALSE(analyzer().fitManualPoints(params.data()));
    analyzer().setTargetCounts(0, 0);
    analyzer().correctedPoints = camera;
    EXPECT_FALSE(analyzer().fitManualPoints(params.data())) << "no targets without a lens type";
    EXPECT_FALSE(analyzer().fitAutomatic(params.data()));
}

TEST(MappingFitRuns, EqualErrorsKeepTheEarlierRun) {
    // Without points every run ends with E = 0; the first run (identity start, cy = 480) must win
    // over the later lens-preset and seed starts.
    MappingFit fit;
    fit.setPoints(nullptr, nullptr, 0);
    LensPreset preset = LensPreset::forLens(3, 10);
    std::array<double, 8> seed{};
    seed.fill(0.5);
    const MappingFit::Result result = fit.fitMultiStart(true, preset, seed);
    EXPECT_EQ(result.error, 0.0);
    EXPECT_EQ(result.params[MappingModel::Cy], 480.0);
    EXPECT_EQ(result.params[MappingModel::H0], 1.0);
    EXPECT_EQ(result.params[MappingModel::K1], 0.0);
}

TEST(MappingFitRuns, ConsistentPointsEndByDampingNotByTheCaps) {
    // Exact points from a plain projective map, the fit started from the identity as the first
    // run of every fit is: it must travel to the map, then go on until the damping passes 1e7,
    // before the step cap and the time cap.
    std::array<float, 40> camera{};
    std::array<double, 40> screen{};
    projectiveGrid(camera, screen);
    MappingFit fit;
    fit.setPoints(camera.data(), screen.data(), 20);
    MappingModel::Parameters start{};
    start[MappingModel::H0] = 1.0;
    start[MappingModel::H4] = 1.0;
    start[MappingModel::Cx] = 640.0;
    start[MappingModel::Cy] = 360.0;
    const MappingFit::Result result = fit.runFit(start, 0);
    EXPECT_LT(result.error, 1e-3);
    EXPECT_GT(result.iterations, 3) << "the run started away from the map";
    EXPECT_LE(result.iterations, MappingFit::iterationCap) << "not ended by the step cap";
    EXPECT_GT(result.finalDamping, 1e7) << "ended by the damping, not by the time cap";
}

TEST(MappingFitRuns, ARunNeverEndsWorseThanWhereItStarted) {
    // Points a lens-bent camera saw, with a few pixels of scatter, so that steps get rejected. A
    // run restarted from where a run ended may improve it, never worsen it: a rejected step is
    // undone before the damped retry, and a last worsening step is rolled back. The old steps
    // (the fault switch) kept both, and do worsen some of these.
    MappingModel model;
    model.p = {1.4, 0.05, -20.0, -0.03, 1.5, 10.0, 1e-5, 2e-5, 650.0, 350.0, -2e-7, 1e-13, 0.0};
    int oldWorse = 0;
    for (int set = 0; set < 8; ++set) {
        std::array<float, 40> camera{};
        std::array<double, 40> screen{};
        for (int i = 0; i < 20; ++i) {
            const size_t x = static_cast<size_t>(2 * i), y = x + 1;
            camera[x] = static_cast<float>(100 + 250 * (i % 5));
            camera[y] = static_cast<float>(80 + 180 * (i / 5));
            model.cameraToScreen(camera[x], camera[y], screen[x], screen[y]);
            screen[x] += 3.0 * std::sin(1.7 * i + set);
            screen[y] += 3.0 * std::cos(2.3 * i + 2 * set);
        }
        MappingModel::Parameters start{};
        start[MappingModel::H0] = 1.0;
        start[MappingModel::H4] = 1.0;
        start[MappingModel::Cx] = 640.0;
        start[MappingModel::Cy] = 360.0 + 20.0 * set;
        for (int variant = 0; variant < 6; ++variant) {
            MappingFit fit;
            fit.setPoints(camera.data(), screen.data(), 20);
            for (bool sound : {true, false}) {
                fit.soundSteps = sound;
                const MappingFit::Result first = fit.runFit(start, variant);
                const MappingFit::Result again = fit.runFit(first.params, variant);
                if (sound)
                    EXPECT_LE(again.error, first.error) << set << " " << variant;
                else if (again.error > first.error)
                    ++oldWorse;
            }
        }
    }
    EXPECT_GT(oldWorse, 0) << "the points never made a step get rejected";
}

TEST(MappingFitRuns, AWeightedPointPullsTheFitByItsWeight) {
    // Points of a plain projective map, one of them a few pixels off: counted alike it bends the
    // fit at the others; weighted down it barely moves them; an even weighting is the unweighted fit.
    std::array<float, 40> camera{};
    std::array<double, 40> screen{};
    projectiveGrid(camera, screen);
    screen[2 * 6] += 4.0;
    const LensPreset preset = LensPreset::forLens(2, 10);
    const std::array<double, 8> seed{};
    auto missAtTheOthers = [&](const double* weights, MappingFit::Result& result) {
        MappingFit fit;
        fit.setPoints(camera.data(), screen.data(), 20, weights);
        result = fit.fitMultiStart(false, preset, seed);
        const MappingModel fitted(result.params);
        double worst = 0.0;
        for (size_t i = 0; i < 20; ++i) {
            double sx = 0.0, sy = 0.0;
            fitted.cameraToScreen(camera[2 * i], camera[2 * i + 1], sx, sy);
            if (i != 6)
                worst = std::max(worst, std::hypot(sx - screen[2 * i], sy - screen[2 * i + 1]));
        }
        return worst;
    };
    std::array<double, 20> weights{};
    weights.fill(1.0);
    MappingFit::Result plain, even, weighted;
    const double alike = missAtTheOthers(nullptr, plain);
    EXPECT_DOUBLE_EQ(missAtTheOthers(weights.data(), even), alike);
    EXPECT_EQ(even.params, plain.params);
    weights[6] = 0.01;
    EXPECT_LT(missAtTheOthers(weights.data(), weighted), 0.1 * alike);
    // Without the detections' variances the weighted fit is the even one.
    MappingFit fit;
    fit.setPoints(camera.data(), screen.data(), 20);
    EXPECT_EQ(fit.fitWeighted(false, preset, seed, nullptr).params, plain.params);
}

TEST(HomographySeedSolve, ExactProjectivePairsGiveTheirMap) {
    HomographySeed seed;
    const double h[8] = {1.2, 0.1, 30.0, -0.05, 1.3, -12.0, 2e-4, -1e-4};
    auto apply = [&](double u, double v, double& x, double& y) {
        const double w = h[6] * u + h[7] * v + 1.0;
        x = (h[0] * u + h[1] * v + h[2]) / w;
        y = (h[3] * u + h[4] * v + h[5]) / w;
    };
    EXPECT_FALSE(seed.solve()) << "no pairs";
    for (int i = 0; i < 9; ++i) {
        const double u = 400.0 + 200.0 * (i % 3), v = 200.0 + 150.0 * (i / 3);
        double x = 0.0, y = 0.0;
        apply(u, v, x, y);
        seed.addPair(u, v, x, y);
        if (i == 2) {
            EXPECT_FALSE(seed.solve()) << "three pairs are not enough";
        }
    }
    seed.addPair(1.0, 1.0, 1.0, 1.0); // a tenth pair is ignored
    EXPECT_EQ(seed.count(), 9);
    ASSERT_TRUE(seed.solve());
    const std::array<double, 8> start = seed.asStart();
    for (int k = 0; k < 8; ++k)
        EXPECT_NEAR(start[static_cast<size_t>(k)], h[k], std::fabs(h[k]) * 0.01 + 1e-6) << k;
    double x = 0.0, y = 0.0, ex = 0.0, ey = 0.0;
    seed.toScreen(700.0, 400.0, x, y);
    apply(700.0, 400.0, ex, ey);
    EXPECT_NEAR(x, ex, 1.0);
    EXPECT_NEAR(y, ey, 1.0);
}

TEST(RowLimit, LargestRowMappingIntoTheTopBand) {
    std::array<double, 13> identity{1, 0, 0, 0, 1, 0, 0, 0, 640, 360, 0, 0, 0};
    // Band = 720 · 30 / 100 = 216: row 215 is the last with y < 216.
    EXPECT_EQ(TopRowLimit::of(identity.data(), 1280, 720), 215);
    // Everything far right of the screen: no row.
    std::array<double, 13> away = identity;
    away[2] = 5000.0;
    EXPECT_EQ(TopRowLimit::of(away.data(), 1280, 720), -1);
    // Upside-down mapping: the band is at the bottom of the camera image.
    std::array<double, 13> flipped{1, 0, 0, 0, -1, 719, 0, 0, 640, 360, 0, 0, 0};
    EXPECT_EQ(TopRowLimit::of(flipped.data(), 1280, 720), 719);
}

TEST(MappingModelMath, CubeIsTheCorrectlyRoundedPower) {
    for (double s : {0.0, 1.0, 3.0, 123456.789, 540000.0, 1e-3, 7.25e5}) {
        EXPECT_EQ(MappingModel::cube(s), std::pow(s, 3.0)) << s;
    }
    MappingModel model;
    model.p = {1, 0, 0, 0, 1, 0, 0, 0, 600, 350, 1e-6, 0, 0};
    double u = 0.0, v = 0.0;
    model.undistort(700.0, 350.0, u, v);
    EXPECT_DOUBLE_EQ(u, 600.0 + 100.0 * (1.0 + 1e-6 * 1e4));
    EXPECT_DOUBLE_EQ(v, 350.0);
}

} // namespace
