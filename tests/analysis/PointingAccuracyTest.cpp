// The expected pointing accuracy after a calibration: from a model fit, and from touched points.
#include "analysis/PointingAccuracy.h"
#include "analysis/FitUncertainty.h"
#include "calibration/PatternGeometry.h"
#include "sim/VirtualCamera.h"
#include "sim/VirtualScene.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

constexpr int screenW = 1920;
constexpr int screenH = 1080;

// Camera points of the automatic targets under a known model, and the targets themselves.
struct KnownFit {
    KnownFit() {
        VirtualPose pose;
        pose.keystone = 0.04;
        truth = VirtualScene::groundTruth(screenW, screenH, 2, 10, pose);
        for (const QPointF& t : PatternGeometry::automaticTargets(screenW, screenH)) {
            double x = 0.0, y = 0.0;
            VirtualCamera::screenToCamera(truth, t.x(), t.y(), x, y);
            camera.insert(camera.end(), {x, y});
            screen.insert(screen.end(), {t.x(), t.y()});
        }
    }
    MappingModel truth;
    std::vector<double> camera, screen;
};

// A projective map of camera points onto a 4 x 4 grid of screen targets, as the manual flow has.
struct TouchedGrid {
    TouchedGrid() {
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 4; ++column) {
                const double sx = 100.0 + column * 573.0, sy = 80.0 + row * 306.0;
                const double w = 1.0 + 0.00002 * sx + 0.00001 * sy;
                camera.insert(camera.end(),
                              {(0.6 * sx + 0.05 * sy + 40.0) / w, (0.02 * sx + 0.6 * sy + 30.0) / w});
                screen.insert(screen.end(), {sx, sy});
            }
        }
    }
    std::vector<double> camera, screen;
};

} // namespace

TEST(PointingAccuracy, GradesAndRegionsFollowTheDocumentedBounds) {
    EXPECT_FALSE(PointingAccuracy().known());
    EXPECT_FALSE(PointingAccuracy(std::nan(""), 3).known());
    EXPECT_FALSE(PointingAccuracy(1.0, 9).known());
    EXPECT_EQ(PointingAccuracy(0.99, 0).grade(), PointingAccuracy::Grade::excellent);
    EXPECT_EQ(PointingAccuracy(1.0, 0).grade(), PointingAccuracy::Grade::good);
    EXPECT_EQ(PointingAccuracy(2.99, 0).grade(), PointingAccuracy::Grade::good);
    EXPECT_EQ(PointingAccuracy(3.0, 0).grade(), PointingAccuracy::Grade::poor);

    EXPECT_EQ(PointingAccuracy::regionOf(0, 0, screenW, screenH), 0);
    EXPECT_EQ(PointingAccuracy::regionOf(960, 10, screenW, screenH), 1);
    EXPECT_EQ(PointingAccuracy::regionOf(1919, 0, screenW, screenH), 2);
    EXPECT_EQ(PointingAccuracy::regionOf(960, 540, screenW, screenH), 4);
    EXPECT_EQ(PointingAccuracy::regionOf(639.9, 1079, screenW, screenH), 6);
    EXPECT_EQ(PointingAccuracy::regionOf(640, 1079, screenW, screenH), 7);
    // Off the screen: the nearest region, never an index outside the nine.
    EXPECT_EQ(PointingAccuracy::regionOf(-50, 5000, screenW, screenH), 6);
    EXPECT_EQ(PointingAccuracy::regionOf(9999, -1, screenW, screenH), 2);
}

TEST(PointingAccuracy, ModelFitCarriesTheScatterOverTheScreen) {
    const KnownFit fit;
    const int freedom = static_cast<int>(fit.camera.size()) - MappingModel::parameterCount;
    // A scatter of 1 px per coordinate.
    const PointingAccuracy one =
        PointingAccuracy::ofModelFit(fit.truth, fit.camera, freedom, screenW, screenH);
    ASSERT_TRUE(one.known());
    double rms = 0.0, worst = 0.0;
    FitUncertainty(fit.truth, fit.camera, freedom).spreadOverScreen(screenW, screenH, rms, worst);
    EXPECT_NEAR(one.pixels(), rms, 1e-9);
    // The spread scales with the scatter.
    const PointingAccuracy two =
        PointingAccuracy::ofModelFit(fit.truth, fit.camera, 4.0 * freedom, screenW, screenH);
    EXPECT_NEAR(two.pixels(), 2.0 * one.pixels(), 1e-9);
    EXPECT_EQ(two.leastAccurateRegion(), one.leastAccurateRegion());
}

TEST(PointingAccuracy, ModelFitFromOneSideIsWorstOnTheOther) {
    const KnownFit fit;
    std::vector<double> leftHalf;
    for (size_t i = 0; i < fit.screen.size() / 2; ++i) {
        if (fit.screen[2 * i] < screenW * 0.55)
            leftHalf.insert(leftHalf.end(), {fit.camera[2 * i], fit.camera[2 * i + 1]});
    }
    ASSERT_GT(leftHalf.size(), 2u * MappingModel::parameterCount / 2 + 2);
    const PointingAccuracy a = PointingAccuracy::ofModelFit(fit.truth, leftHalf, 10.0, screenW, screenH);
    ASSERT_TRUE(a.known());
    EXPECT_EQ(a.leastAccurateRegion() % 3, 2) << a.leastAccurateRegion();
    // Too few points determine no model: nothing is claimed.
    const std::vector<double> four(fit.camera.begin(), fit.camera.begin() + 8);
    EXPECT_FALSE(PointingAccuracy::ofModelFit(fit.truth, four, 1.0, screenW, screenH).known());
}

TEST(PointingAccuracy, TouchedPointsAreJudgedByTheirProjectiveResiduals) {
    TouchedGrid grid;
    const PointingAccuracy exact =
        PointingAccuracy::ofTouchedPoints(grid.camera, grid.screen, screenW, screenH);
    ASSERT_TRUE(exact.known());
    EXPECT_LT(exact.pixels(), 1e-6);

    // One touch in the bottom right off by 6 px, then by 12 px: the least squares residuals, and
    // with them the figure, grow nearly in proportion; the region is that touch's.
    std::vector<double> off6 = grid.screen, off12 = grid.screen;
    off6[2 * 15] += 6.0;
    off12[2 * 15] += 12.0;
    const PointingAccuracy a6 = PointingAccuracy::ofTouchedPoints(grid.camera, off6, screenW, screenH);
    const PointingAccuracy a12 = PointingAccuracy::ofTouchedPoints(grid.camera, off12, screenW, screenH);
    ASSERT_TRUE(a6.known());
    EXPECT_EQ(a6.leastAccurateRegion(), 8);
    EXPECT_GT(a6.pixels(), 1.0);
    EXPECT_NEAR(a12.pixels(), 2.0 * a6.pixels(), 0.01 * a6.pixels());

    // Points that determine no map: too few, mismatched, all on one line.
    const std::vector<double> fourCamera(grid.camera.begin(), grid.camera.begin() + 8);
    const std::vector<double> fourScreen(grid.screen.begin(), grid.screen.begin() + 8);
    EXPECT_FALSE(PointingAccuracy::ofTouchedPoints(fourCamera, fourScreen, screenW, screenH).known());
    EXPECT_FALSE(PointingAccuracy::ofTouchedPoints(grid.camera, fourScreen, screenW, screenH).known());
    std::vector<double> line = grid.camera;
    for (size_t i = 0; i < line.size() / 2; ++i)
        line[2 * i + 1] = 2.0 * line[2 * i];
    EXPECT_FALSE(PointingAccuracy::ofTouchedPoints(line, grid.screen, screenW, screenH).known());
}
