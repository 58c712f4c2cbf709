// A cable or a hand over part of one target: the target is still found, with its centre pulled
// off its place. The fit must then either place the screen right or refuse, never take the
// shifted centre as a landmark.
#include "AnalysisScene.h"

#include "analysis/CirclePass.h"
#include "analysis/FailureDiagnosis.h"
#include "analysis/FitResiduals.h"
#include "analysis/ImageAnalysis.h"

#include <QPainter>
#include <gtest/gtest.h>
#include <vector>

namespace {

// A dark band over about a third of target `covered`'s disc, below its centre.
template <int covered>
void cable(QImage& screen, const AnalysisScene& s) {
    const std::array<float, 40> t = s.targets();
    const double x = t[2 * covered], y = t[2 * covered + 1];
    const int radius = CirclePass::discRadius(s.width, s.height);
    QPainter painter(&screen);
    painter.setPen(QPen(Qt::black, radius * 0.6));
    painter.drawLine(QPointF(x - 4.0 * radius, y + 0.6 * radius),
                     QPointF(x + 4.0 * radius, y + 0.4 * radius));
}

struct CoveredCase {
    const char* name;
    void (*edit)(QImage&, const AnalysisScene&);
    int width, height;
    eLens lens;
    double noise;
};

class CoveredTarget : public testing::TestWithParam<CoveredCase> {};

TEST_P(CoveredTarget, IsRefusedOrPlacedRight) {
    const CoveredCase& c = GetParam();
    AnalysisScene scene;
    scene.width = c.width;
    scene.height = c.height;
    scene.lens = c.lens;
    scene.light.black = 20.0;
    scene.light.white = 60.0;
    scene.light.noiseSigma = c.noise;
    scene.photograph(c.edit);
    std::array<double, 13> params{};
    scene.analyse(params);
    if (!scene.result.ok) {
        EXPECT_EQ(scene.result.failure.stage, AnalysisFailure::Stage::FitAcceptance)
            << scene.result.failure.reason;
        return;
    }
    double rms = 0.0, max = 0.0;
    scene.mappingError(params, rms, max);
    EXPECT_LT(rms, 0.5 + 0.5) << "accepted " << rms << " px off (0.5 px beyond the drawing's own error)";
}

INSTANTIATE_TEST_SUITE_P(Cable, CoveredTarget,
                         testing::Values(CoveredCase{"TopDiscSmallScreen", cable<2>, 1280, 720, 2, 2.0},
                                         CoveredCase{"CornerDisc", cable<0>, 1920, 1080, 3, 1.0},
                                         CoveredCase{"SideDiscWideScreen", cable<9>, 2560, 1440, 2, 2.0}),
                         [](const testing::TestParamInfo<CoveredCase>& p) {
                             return std::string(p.param.name);
                         });

// Paints white over target 9: the fit lacks a side target and so leans on the targets it has.
void coverCorner(QImage& screen, const AnalysisScene& s) {
    QPainter painter(&screen);
    const std::array<float, 40> t = s.targets();
    painter.fillRect(QRectF(t[2 * 9] - 90.0f, t[2 * 9 + 1] - 90.0f, 180.0f, 180.0f), Qt::white);
}

class ShiftedDetection : public testing::Test {
protected:
    void SetUp() override {
        scene.lens = 2;
        scene.light.noiseSigma = 1.0;
        scene.photograph(coverCorner);
        std::array<double, 13> params{};
        ASSERT_EQ(scene.analyse(params), 19);
        ASSERT_TRUE(scene.result.ok) << scene.result.failure.reason;
        scene.mappingError(params, cleanRms, cleanMax);
    }

    // Analyses again with target `id`'s detection moved by (dx, dy) camera pixels, as a cable over
    // part of its disc moves the centroid; returns whether the fit was accepted and the mapping's
    // RMS error in rms.
    bool refitShifted(int id, float dx, float dy, double& rms) {
        AnalysisSetup setup = scene.setup();
        setup.faults.detectionShift[static_cast<size_t>(id)] = cv::Point2f(dx, dy);
        shifted = analyse({scene.dark, scene.bright, scene.pattern}, setup);
        double max = 0.0;
        rms = 0.0;
        scene.mappingError(shifted.params, rms, max);
        return shifted.ok;
    }

    AnalysisScene scene;
    AnalysisResult shifted;
    double cleanRms = 0.0, cleanMax = 0.0;
};

TEST_F(ShiftedDetection, CornerTargetOffByThreePixelsIsLeftOut) {
    // Target 4 is the corner next to the missing side target: the fit would bend the whole right
    // of the screen to it.
    double rms = 0.0;
    const bool ok = refitShifted(4, 0.0f, 3.0f, rms);
    if (ok) {
        EXPECT_LT(rms, cleanRms + 0.5) << "clean " << cleanRms;
        EXPECT_EQ(shifted.failure.stage, AnalysisFailure::Stage::None);
    } else {
        EXPECT_EQ(shifted.failure.stage, AnalysisFailure::Stage::FitAcceptance);
        EXPECT_NE(shifted.failure.reason.find("covered"), std::string::npos) << shifted.failure.reason;
    }
}

TEST_F(ShiftedDetection, EveryTopTargetOffByTwoPixelsIsNeverTakenWrong) {
    for (int id : {0, 1, 2, 3, 4, 6, 7}) {
        double rms = 0.0;
        if (refitShifted(id, 1.5f, 2.0f, rms)) {
            EXPECT_LT(rms, cleanRms + 0.5) << "target " << id << " clean " << cleanRms;
        }
    }
}

TEST_F(ShiftedDetection, SmallShiftKeepsEveryTarget) {
    // Half a pixel is detection noise on a dim capture: no target is dropped for it, and the fit
    // is as good as the clean one.
    double rms = 0.0;
    EXPECT_TRUE(refitShifted(2, 0.0f, 0.5f, rms)) << shifted.failure.reason;
    EXPECT_LT(rms, cleanRms + 0.2);
}

// About 1.5 screen pixels per camera pixel, with some lens distortion.
MappingModel scaled() {
    double p[13] = {1.5, 0.0, 10.0, 0.0, 1.5, 20.0, 0.0, 0.0, 640.0, 360.0, 2e-7, 0.0, 0.0};
    return MappingModel::fromArray(p);
}

// A 5 x 4 grid of camera points and their screen places under the model, each off by `jitter`
// in a fixed pattern, and point `moved` off by `shift` camera pixels more.
void grid(std::vector<double>& camera, std::vector<double>& screen, double jitter, int moved, double shift) {
    const MappingModel model = scaled();
    camera.clear();
    screen.clear();
    for (int i = 0; i < 20; ++i) {
        const double x = 200.0 + 220.0 * (i % 5), y = 120.0 + 160.0 * (i / 5);
        double sx = 0.0, sy = 0.0;
        model.cameraToScreen(x, y, sx, sy);
        const double j = (i % 3 == 0 ? 1.0 : -1.0) * jitter * 1.5;
        camera.push_back(x);
        camera.push_back(y);
        screen.push_back(sx + j);
        screen.push_back(sy - j + (i == moved ? 1.5 * shift : 0.0));
    }
}

TEST(FitResiduals, OneShiftedPointStandsOutEvenWhereTheFitFollowsIt) {
    std::vector<double> camera, screen;
    // A corner point, which a thirteen-parameter fit follows the most.
    grid(camera, screen, 0.1, 0, 3.0);
    EXPECT_EQ(FitResiduals(scaled(), camera, screen).outlier(), 0);
    grid(camera, screen, 0.1, 12, 3.0);
    EXPECT_EQ(FitResiduals(scaled(), camera, screen).outlier(), 12);
}

TEST(FitResiduals, EvenScatterAndSmallShiftsHaveNoOutlier) {
    std::vector<double> camera, screen;
    grid(camera, screen, 0.3, -1, 0.0);
    EXPECT_EQ(FitResiduals(scaled(), camera, screen).outlier(), -1);
    // Below the floor a shift is not called out, however clean the rest.
    grid(camera, screen, 0.0, 7, 0.3);
    EXPECT_EQ(FitResiduals(scaled(), camera, screen).outlier(), -1);
    // Too few points to tell.
    camera.resize(10);
    screen.resize(10);
    EXPECT_EQ(FitResiduals(scaled(), camera, screen).outlier(), -1);
}

} // namespace

namespace {

TEST(FitRefusedForResiduals, NamesACoveredTargetAndNotTheSpread) {
    DetectionReport report;
    report.markersFound = 9;
    report.seedSolved = true;
    std::array<cv::Point2f, DetectionReport::maxTargets> raw{};
    for (int j = 0; j < 20; ++j)
        raw[static_cast<size_t>(j)] = j == 9 ? cv::Point2f() : cv::Point2f(100.0f + j, 100.0f);
    FailureDiagnosis::Facts facts;
    facts.brightRange = 120.0;
    facts.projectedFraction = 0.5;
    facts.detection = &report;
    facts.count = 20;
    facts.raw = &raw;
    facts.fitRan = true;
    facts.fitError = 19.0;
    facts.fitPoints = 19;
    facts.fitInconsistent = true;
    const AnalysisFailure f = FailureDiagnosis::diagnose(facts);
    EXPECT_EQ(f.stage, AnalysisFailure::Stage::FitAcceptance);
    EXPECT_NE(f.reason.find("do not fit one camera model"), std::string::npos) << f.reason;
    EXPECT_NE(f.reason.find("covered"), std::string::npos) << f.reason;
    EXPECT_EQ(f.missingTargets, std::vector<int>{9});

    // A target found but left out of the fit as off its place is one the fit did without.
    facts.droppedTarget = 3;
    EXPECT_EQ(FailureDiagnosis::diagnose(facts).missingTargets, (std::vector<int>{3, 9}));
}

} // namespace
