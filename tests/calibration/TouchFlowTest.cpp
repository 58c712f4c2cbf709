// Manual calibration and the touch phase of semi-automatic calibration, with a virtual pen that
// touches what the calibration window shows.
#include "FlowHarness.h"
#include "calibration/TouchPrediction.h"
#include "services/GuidanceText.h"

#include <cmath>
#include <memory>

#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class ManualMounting : public ::testing::TestWithParam<Mounting> {};

// A pen that does nothing by itself: the test says when it is seen and when it lifts.
class HandPen : public ManualPenBehaviour {
public:
    std::vector<Event> patternStarted(int) override { return {}; }
    std::array<float, 50> inputPoints() override { return {}; }
};

void answer(SimulatedModule& module, std::uint32_t code, std::uint32_t value) {
    DevicePacket p = DevicePacket::make(code);
    p.setLength(4);
    p.setU32(8, value);
    module.injectPacket(0x83, p);
}

std::uint32_t lastPatternStart(const SimulatedModule& module) {
    const auto p = module.lastReceived(CMD_MC_PATTERN_START);
    return p ? p->u32(8) : 0xFFFFFFFFu;
}

} // namespace

TEST_P(ManualMounting, SixteenTouchesCalibrateTheModule) {
    VirtualRig rig;
    rig.ceiling = GetParam().ceiling;
    rig.rear = GetParam().rear;
    FlowHarness h(rig);
    ASSERT_TRUE(h.connected);
    h.controller->StartMCalibration();
    EXPECT_EQ(h.window()->targetCount(), 16);
    ASSERT_TRUE(h.runToEnd());
    EXPECT_TRUE(h.boxes.isEmpty());
    EXPECT_EQ(h.module->commandCount(CMD_MC_PATTERN_START), 16);
    // Each touch from the fifth on is checked against the ones before, then all points are fetched.
    EXPECT_EQ(h.module->commandCount(CMD_MC_GET_INPUT_POINT), 16 - TouchPrediction::freeTouches + 1);
    EXPECT_EQ(h.module->commandCount(CMD_SET_CALIB_PARAMETER), 1);
    const std::vector<std::uint8_t> record = h.module->lastCalibRecord();
    ASSERT_EQ(record.size(), 370u);
    EXPECT_EQ(record[112], 0) << "manual calibration sends no tweak offsets";
    const auto a = h.accuracy();
    EXPECT_LT(a.rms, 1.5);
    EXPECT_LT(a.max, 4.0);
}

INSTANTIATE_TEST_SUITE_P(Mountings, ManualMounting,
                         ::testing::Values(Mounting{false, false}, Mounting{true, false},
                                           Mounting{false, true}, Mounting{true, true}),
                         mountingName);

// The module is switched to target input once the targets are on the screen: a window closed
// before that sends it nothing, one closed after it cancels target input.
TEST(TouchFlow, EscapeBeforeTheFirstPaintLeavesTheModuleAlone) {
    FlowHarness h{VirtualRig()};
    ASSERT_TRUE(h.connected);
    h.module->clearCounters();
    h.controller->StartMCalibration();
    emit h.window()->sigCaliDlgWorkingDone(false);
    ASSERT_TRUE(moduleSettled(h));
    EXPECT_EQ(h.module->commandCount(CMD_MC_START), 0);
    EXPECT_EQ(h.module->commandCount(CMD_MC_CANCEL), 0);

    h.controller->StartMCalibration();
    ASSERT_TRUE(eventsUntil([&] { return h.module->commandCount(CMD_MC_START) == 1; }));
    emit h.window()->sigCaliDlgWorkingDone(false);
    ASSERT_TRUE(moduleSettled(h));
    EXPECT_EQ(h.module->commandCount(CMD_MC_CANCEL), 1);
}

TEST(TouchFlow, AnEarlyLiftReArmsTheSameTarget) {
    VirtualPen::Options pen;
    pen.liftEarlyOnce = {3, 9};
    FlowHarness h(VirtualRig(), pen);
    ASSERT_TRUE(h.connected);
    h.controller->StartMCalibration();
    ASSERT_TRUE(h.runToEnd());
    EXPECT_EQ(h.pen->startsOf(3), 2);
    EXPECT_EQ(h.pen->startsOf(9), 2);
    EXPECT_EQ(h.pen->startsOf(4), 1);
    EXPECT_EQ(h.module->commandCount(CMD_MC_PATTERN_START), 18);
    EXPECT_TRUE(h.boxes.isEmpty());
    EXPECT_LT(h.accuracy().rms, 1.5);
}

TEST(TouchFlow, BackspaceGoesBackOneTargetAndRearmsIt) {
    FlowHarness h{VirtualRig()};
    ASSERT_TRUE(h.connected);
    h.module->setPenBehaviour(std::make_unique<HandPen>());
    h.controller->StartMCalibration();
    CalibDlg* w = h.window();
    for (int target = 0; target < 5; ++target) {
        answer(*h.module, RES_MC_PATTERN_DONE, static_cast<std::uint32_t>(target));
        ASSERT_TRUE(
            eventsUntil([&] { return h.controller->touchPhase().targetIndex() == target + 1; }, 3000));
        answer(*h.module, RES_MC_PATTERN_END, static_cast<std::uint32_t>(target));
        ASSERT_TRUE(eventsUntil(
            [&] { return lastPatternStart(*h.module) == static_cast<std::uint32_t>(target + 1); }, 3000));
    }
    ASSERT_EQ(h.controller->touchPhase().targetIndex(), 5);
    QTest::keyClick(w, Qt::Key_Backspace);
    EXPECT_EQ(h.controller->touchPhase().targetIndex(), 4);
    ASSERT_TRUE(eventsUntil([&] { return lastPatternStart(*h.module) == 4u; }, 3000));
    // The pen picture glides back to target 4.
    EXPECT_TRUE(
        eventsUntil([&] { return w->penLabel()->geometry() == CalibDlg::penRect(w->targetList()[4]); }));
    // At the first target there is nowhere to go back to.
    QTest::keyClick(w, Qt::Key_Escape);
    EXPECT_EQ(h.module->commandCount(CMD_MC_CANCEL), 1);
}

TEST(TouchFlow, LiftingBeforeTheRingCompletesKeepsTheTarget) {
    FlowHarness h{VirtualRig()};
    ASSERT_TRUE(h.connected);
    h.module->setPenBehaviour(std::make_unique<HandPen>());
    h.controller->StartMCalibration();
    CalibDlg* w = h.window();
    answer(*h.module, RES_MC_PATTERN_DONE, 0);
    ASSERT_TRUE(eventsUntil([&] { return w->ringRunning(); }, 2000));
    answer(*h.module, RES_MC_PATTERN_END, 0); // lifted after a few ticks
    ASSERT_TRUE(eventsUntil([&] { return !w->ringRunning(); }, 2000));
    EXPECT_EQ(h.controller->touchPhase().targetIndex(), 0);
    ASSERT_TRUE(eventsUntil([&] { return h.module->commandCount(CMD_MC_PATTERN_START) == 2; }, 2000));
    EXPECT_EQ(lastPatternStart(*h.module), 0u);
    EXPECT_EQ(w->hint(), LanguageTexts::guidance(GuidanceText::HoldPen))
        << "an early lift says to hold the pen";
}

TEST(TouchFlow, AFitThatFailsCancelsAndShowsM14) {
    VirtualPen::Options pen;
    pen.jitterPixels = 120.0; // a shaking hand: the touches do not fit any model
    FlowHarness h(VirtualRig(), pen);
    ASSERT_TRUE(h.connected);
    h.controller->StartMCalibration();
    ASSERT_TRUE(h.runToEnd());
    ASSERT_EQ(h.boxes.size(), 1);
    EXPECT_EQ(h.boxes.first().text, QStringLiteral("Calibration failed. Please try again."));
    EXPECT_EQ(h.module->commandCount(CMD_MC_CANCEL), 1);
    EXPECT_EQ(h.module->commandCount(CMD_SET_CALIB_PARAMETER), 0);
}

TEST(SemiAutomaticFlow, TuningStoresOffsetsThatTheNextAutomaticRunApplies) {
    VirtualRig rig;
    rig.parallax = 1.0; // a pen seen further off its tip than the factory tables expect
    FlowHarness h(rig);
    ASSERT_TRUE(h.connected);

    h.controller->StartACalibration();
    ASSERT_TRUE(h.runToEnd());
    const double untuned = h.accuracy().rms;

    h.penTargets = SimulatedInstallation::PenTargets::SemiAutomatic;
    h.controller->StartSCalibration();
    ASSERT_TRUE(h.runToEnd());
    EXPECT_TRUE(h.boxes.isEmpty());
    EXPECT_EQ(h.module->commandCount(CMD_MC_PATTERN_START), 20);
    // The record carries 20 offsets; the module keeps them and the controller's cache has them.
    const std::vector<std::uint8_t> record = h.module->lastCalibRecord();
    EXPECT_EQ(record[112], 20);
    const auto stored = h.module->storedRecord();
    EXPECT_EQ(stored[116], 20);
    EXPECT_EQ(stored[327], 3);
    EXPECT_EQ(h.controller->storedTweaks().count, 20);
    EXPECT_EQ(h.controller->storedTweaks().lens, 3);

    h.controller->StartACalibration();
    ASSERT_TRUE(h.runToEnd());
    const double tuned = h.accuracy().rms;
    EXPECT_LT(tuned, 1.0);
    EXPECT_LT(tuned, untuned / 2.0) << "untuned " << untuned << ", tuned " << tuned;
}

TEST(SemiAutomaticFlow, StoredOffsetsAreReadBackAtTheNextStart) {
    VirtualRig rig;
    rig.parallax = 1.0;
    auto first = std::make_unique<FlowHarness>(rig);
    ASSERT_TRUE(first->connected);
    first->penTargets = SimulatedInstallation::PenTargets::SemiAutomatic;
    first->controller->StartSCalibration();
    ASSERT_TRUE(first->runToEnd());
    const auto learned = first->controller->storedTweaks();
    ASSERT_EQ(learned.count, 20);

    // A new controller on the same module reads the record back when it connects.
    ZelmoMainCtrl next(&first->texts, first->module->createTransport());
    first->controller.reset();
    next.StartDeviceWatch();
    ASSERT_TRUE(eventsUntil([&] { return next.storedTweaks().count == 20; }, 5000));
    EXPECT_EQ(next.storedTweaks().lens, 3);
    for (int i = 0; i < 20; ++i) {
        EXPECT_FLOAT_EQ(static_cast<float>(next.storedTweaks().offsets[static_cast<size_t>(i)].x()),
                        static_cast<float>(learned.offsets[static_cast<size_t>(i)].x()));
    }
}

namespace {

// A pen whose reported camera points the test sets, as where the module's camera saw each touch.
class PointingPen : public ManualPenBehaviour {
public:
    explicit PointingPen(std::shared_ptr<std::array<float, 50>> seenPoints)
        : points(std::move(seenPoints)) {}
    std::vector<Event> patternStarted(int) override { return {}; }
    std::array<float, 50> inputPoints() override { return *points; }

private:
    std::shared_ptr<std::array<float, 50>> points;
};

// Where the rig's camera sees a pen put down at a point of the window.
QPointF cameraPoint(const VirtualRig& rig, const QPointF& window) {
    double px = 0.0;
    double py = 0.0;
    rig.toPatternFrame(window.x(), window.y(), px, py);
    double cx = 0.0;
    double cy = 0.0;
    EXPECT_TRUE(rig.penCameraPoint(px, py, cx, cy));
    return QPointF(cx, cy);
}

} // namespace

// From the fifth touch on, a touch far from the prediction is refused at once: the same target
// again, with a hint. Going back takes the targets left out of the judgement: after Backspace to
// the fifth target only the first column counts, which cannot tell a mirrored camera from a
// straight one; a stale sixth point would have refused the mirrored touch.
TEST(TouchFlow, AFarTouchIsRefusedAtOnceAndGoingBackLeavesTheFit) {
    VirtualRig rig;
    FlowHarness h{rig};
    ASSERT_TRUE(h.connected);
    auto seenPoints = std::make_shared<std::array<float, 50>>();
    h.module->setPenBehaviour(std::make_unique<PointingPen>(seenPoints));
    h.controller->StartMCalibration();
    // The module is put on the first target after the window is up and target input has settled.
    ASSERT_TRUE(eventsUntil([&] { return h.module->commandCount(CMD_MC_PATTERN_START) == 1; }, 3000));
    CalibDlg* w = h.window();
    auto touch = [&](int target, const QPointF& camera) {
        (*seenPoints)[static_cast<size_t>(2 * target)] = static_cast<float>(camera.x());
        (*seenPoints)[static_cast<size_t>(2 * target + 1)] = static_cast<float>(camera.y());
        const int starts = h.module->commandCount(CMD_MC_PATTERN_START);
        answer(*h.module, RES_MC_PATTERN_DONE, static_cast<std::uint32_t>(target));
        ASSERT_TRUE(
            eventsUntil([&] { return h.controller->touchPhase().targetIndex() == target + 1; }, 3000));
        answer(*h.module, RES_MC_PATTERN_END, static_cast<std::uint32_t>(target));
        ASSERT_TRUE(
            eventsUntil([&] { return h.module->commandCount(CMD_MC_PATTERN_START) == starts + 1; }, 3000));
    };
    auto onTarget = [&](int target) {
        return cameraPoint(rig, w->targetList()[static_cast<size_t>(target)] + QPointF(6, -4));
    };
    // The first four are taken wherever they land.
    for (int target = 0; target < 4; ++target)
        touch(target, target == 2 ? cameraPoint(rig, QPointF(900, 500)) : onTarget(target));
    EXPECT_EQ(h.controller->touchPhase().targetIndex(), 4);
    EXPECT_EQ(lastPatternStart(*h.module), 4u);
    // A person who sees the slip goes back and touches the third target again.
    QTest::keyClick(w, Qt::Key_Backspace);
    QTest::keyClick(w, Qt::Key_Backspace);
    ASSERT_TRUE(eventsUntil([&] { return lastPatternStart(*h.module) == 2u; }, 3000));
    for (int target = 2; target < 6; ++target)
        touch(target, onTarget(target));
    ASSERT_EQ(h.controller->touchPhase().targetIndex(), 6);
    EXPECT_TRUE(w->hint().isEmpty());

    // The seventh lands at (500, 500): refused, target 7 shown again with the hint.
    touch(6, cameraPoint(rig, QPointF(500, 500)));
    EXPECT_EQ(h.controller->touchPhase().targetIndex(), 6);
    EXPECT_EQ(lastPatternStart(*h.module), 6u);
    EXPECT_EQ(w->hint(), LanguageTexts::guidance(GuidanceText::TouchRefused));
    // Taken when it lands on the target; the hint goes.
    touch(6, onTarget(6));
    EXPECT_EQ(h.controller->touchPhase().targetIndex(), 7);
    EXPECT_EQ(lastPatternStart(*h.module), 7u);
    EXPECT_TRUE(w->hint().isEmpty());

    // Back to the fifth target (6 and 5 were taken). Its mirror image across the first column is
    // what a camera seeing the screen mirrored would report: acceptable from the column alone.
    for (int back = 0; back < 2; ++back)
        QTest::keyClick(w, Qt::Key_Backspace);
    ASSERT_TRUE(eventsUntil([&] { return lastPatternStart(*h.module) == 5u; }, 3000))
        << h.controller->touchPhase().targetIndex() << " " << lastPatternStart(*h.module);
    QTest::keyClick(w, Qt::Key_Backspace);
    ASSERT_TRUE(eventsUntil([&] { return lastPatternStart(*h.module) == 4u; }, 3000));
    const QPointF top = cameraPoint(rig, w->targetList()[0]);
    const QPointF bottom = cameraPoint(rig, w->targetList()[3]);
    const QPointF seen = onTarget(4);
    const QPointF axis = (bottom - top) / std::hypot(bottom.x() - top.x(), bottom.y() - top.y());
    const QPointF foot = top + QPointF::dotProduct(seen - top, axis) * axis;
    touch(4, 2 * foot - seen);
    EXPECT_EQ(h.controller->touchPhase().targetIndex(), 5) << "the points of targets 5 and 6 still took part";
    EXPECT_EQ(lastPatternStart(*h.module), 5u);
    QTest::keyClick(w, Qt::Key_Escape);
}
