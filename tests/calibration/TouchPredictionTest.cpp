// The check of each touch against where the touches already taken say the camera must see it.
#include "calibration/TouchPrediction.h"
#include "calibration/PatternGeometry.h"
#include "harness/VirtualRig.h"

#include <gtest/gtest.h>

namespace {

struct Phase {
    bool semiAutomatic;
    bool ceiling;
    bool rear;
};

std::vector<QPointF> phaseTargets(bool semiAutomatic, int w, int h) {
    if (semiAutomatic) {
        const auto t = PatternGeometry::semiAutomaticTargets(w, h);
        return std::vector<QPointF>(t.begin(), t.end());
    }
    const auto t = PatternGeometry::manualTargets(w, h);
    return std::vector<QPointF>(t.begin(), t.end());
}

// Where the simulated camera sees the pen on a target of the window (the window's frame is turned
// and mirrored on the physical screen as the mounting says), moved by screen pixels (dx, dy).
QPointF seen(const VirtualRig& rig, const QPointF& target, double dx = 0.0, double dy = 0.0) {
    double px = 0.0;
    double py = 0.0;
    rig.toPatternFrame(target.x() + dx, target.y() + dy, px, py);
    double cx = 0.0;
    double cy = 0.0;
    EXPECT_TRUE(rig.penCameraPoint(px, py, cx, cy));
    return QPointF(cx, cy);
}

class EveryPhase : public ::testing::TestWithParam<Phase> {
protected:
    VirtualRig rig() const {
        VirtualRig r;
        r.ceiling = GetParam().ceiling;
        r.rear = GetParam().rear;
        return r;
    }
};

} // namespace

// Careful touches must never be refused, in any mounting, from the first target to the last;
// and a touch a third of the way across the screen always is, one on the neighbouring target of the
// same column too.
TEST_P(EveryPhase, CarefulTouchesAreTakenAndTouchesElsewhereRefused) {
    const VirtualRig r = rig();
    const std::vector<QPointF> targets =
        phaseTargets(GetParam().semiAutomatic, r.screenWidth, r.screenHeight);
    std::vector<QPointF> taken;
    for (size_t i = 0; i < targets.size(); ++i) {
        // A careful hand lands within 12 pixels of the centre.
        const double slip = (i % 2 ? 12.0 : -12.0);
        const QPointF careful = seen(r, targets[i], slip, -slip);
        const TouchPrediction::Verdict v = TouchPrediction::judge(targets, taken, careful);
        EXPECT_TRUE(v.accepted) << "target " << i << " distance " << v.distance << " tolerance "
                                << v.tolerance;
        if (i >= TouchPrediction::freeTouches) {
            EXPECT_NE(v.model, TouchPrediction::Model::None) << "target " << i;
            // The neighbour below (or above, at the last row), where the column's own taken points
            // keep the prediction close; the first target of a column is predicted a column ahead.
            const size_t other = i % 4 == 3 ? i - 1 : i + 1;
            if (i % 4 != 0 || i == 4) {
                EXPECT_FALSE(TouchPrediction::judge(targets, taken, seen(r, targets[other])).accepted)
                    << "target " << i << " touched on target " << other;
            }
            const QPointF across(r.screenWidth / 3.0, r.screenHeight / 3.0);
            const QPointF far =
                targets[i].x() < r.screenWidth / 2 ? targets[i] + across : targets[i] - across;
            EXPECT_FALSE(TouchPrediction::judge(targets, taken, seen(r, far)).accepted)
                << "target " << i << " touched far away";
        }
        taken.push_back(careful);
    }
}

INSTANTIATE_TEST_SUITE_P(Mountings, EveryPhase,
                         ::testing::Values(Phase{false, false, false}, Phase{false, true, false},
                                           Phase{false, false, true}, Phase{false, true, true},
                                           Phase{true, false, false}, Phase{true, true, true}),
                         [](const ::testing::TestParamInfo<Phase>& p) {
                             return std::string(p.param.semiAutomatic ? "Tuning" : "Manual") +
                                    (p.param.ceiling ? "Ceiling" : "Floor") +
                                    (p.param.rear ? "Rear" : "Front");
                         });

// The first touches have nothing to be compared with: even one far off is taken.
TEST(TouchPrediction, TheFirstFourTouchesAreNeverRefused) {
    const VirtualRig r;
    const std::vector<QPointF> targets = phaseTargets(false, r.screenWidth, r.screenHeight);
    std::vector<QPointF> taken;
    for (int i = 0; i < TouchPrediction::freeTouches; ++i) {
        const QPointF wild = seen(r, QPointF(960 - 100 * i, 540 + 90 * i));
        const TouchPrediction::Verdict v = TouchPrediction::judge(targets, taken, wild);
        EXPECT_TRUE(v.accepted) << "touch " << i;
        EXPECT_EQ(v.model, TouchPrediction::Model::None);
        taken.push_back(wild);
    }
}

// The fifth manual touch: the four taken lie in the first column, so only the line model can
// judge; the sixth has one point beside the column (affine), the seventh two (projective).
TEST(TouchPrediction, TheModelGrowsWithTheTakenPoints) {
    const VirtualRig r;
    const std::vector<QPointF> targets = phaseTargets(false, r.screenWidth, r.screenHeight);
    std::vector<QPointF> taken;
    for (int i = 0; i < 4; ++i)
        taken.push_back(seen(r, targets[static_cast<size_t>(i)]));
    EXPECT_EQ(TouchPrediction::judge(targets, taken, seen(r, targets[4])).model,
              TouchPrediction::Model::Line);
    // The user's slip: the pen put down at (500, 500) instead of on the fifth target.
    EXPECT_FALSE(TouchPrediction::judge(targets, taken, seen(r, QPointF(500, 500))).accepted);
    taken.push_back(seen(r, targets[4]));
    EXPECT_EQ(TouchPrediction::judge(targets, taken, seen(r, targets[5])).model,
              TouchPrediction::Model::Affine);
    taken.push_back(seen(r, targets[5]));
    const auto projective = TouchPrediction::judge(targets, taken, seen(r, targets[6]));
    EXPECT_EQ(projective.model, TouchPrediction::Model::Projective);
    EXPECT_LT(projective.distance, 0.5 * projective.tolerance)
        << "a projective map predicts a flat screen closely";
}
