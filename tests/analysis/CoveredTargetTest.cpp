// A cable or a hand over part of one target: the target is still found, with its centre pulled
// off its place. The fit must then either place the screen right or refuse, never take the
// shifted centre as a landmark.
#include "AnalysisScene.h"

#include "analysis/CirclePass.h"
#include "analysis/FitResiduals.h"
#include "analysis/PatternAnalyzer.h"

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

class CoveredTarget : public testing::TestWithParam<CoveredCase> {
protected:
    void SetUp() override { PatternAnalyzer::instance().resetProcessState(); }
};

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
    PatternAnalyzer& analyzer = PatternAnalyzer::instance();
    if (!analyzer.fitOk) {
        EXPECT_EQ(analyzer.failure().stage, AnalysisFailure::Stage::FitAcceptance)
            << analyzer.failure().reason;
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
