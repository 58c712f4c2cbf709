#include "calibration/ZelmoMainCtrl.h"
#include "calibration/AutomaticFlow.h"
#include "calibration/CalibDlg.h"
#include "calibration/FlowLimits.h"
#include "calibration/TouchCapture.h"
#include "calibration/TouchFlow.h"
#include "device/CamDevCtrl.h"
#include "device/DeviceWatchClient.h"
#include "device/UsbTransport.h"
#include "platform/Pacing.h"
#include "services/LanguageTexts.h"
#include "services/MessageBoxSeam.h"
#include "tests/support/EventualAssert.h"
#include "tests/support/ThreadCount.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

// Reaches the controller's private watch-client side, which the watch thread calls.
class ZelmoMainCtrlProbe {
public:
    static DeviceWatchClient& watchClient(ZelmoMainCtrl& ctrl) { return ctrl; }
};

namespace {

class ZelmoMainCtrlTest : public ::testing::Test {
protected:
    void SetUp() override {
        Pacing::setScale(0.01);
        texts.loadLanguage(LanguageTexts::englishIndex + 1);
        MessageBoxSeam::setHandler([this](const MessageBoxSeam::Shown& shown) {
            boxes.push_back(shown);
            return QMessageBox::Ok;
        });
    }
    void TearDown() override {
        MessageBoxSeam::setHandler({});
        Pacing::setScale(1.0);
    }

    LanguageTexts texts;
    std::vector<MessageBoxSeam::Shown> boxes;
};

// A controller without a module whose flows run on the slots alone: commands to the absent module
// go nowhere, so every answer is the test's to give.
void makeReady(ZelmoMainCtrl& ctrl) {
    ctrl.slotSetFWVersion(QStringLiteral("51.05"));
    ctrl.setLens(3);
}

FlowLimits limitsOf(int captureMs, int imageMs, int replyMs) {
    FlowLimits limits;
    limits.captureMs = captureMs;
    limits.imageTransferMs = imageMs;
    limits.moduleReplyMs = replyMs;
    return limits;
}

// Walks the touch phase to the module's request for the touched points.
void finishEveryTarget(ZelmoMainCtrl& ctrl) {
    const int count = ctrl.calibWindow()->targetCount();
    for (int target = 0; target < count; ++target) {
        ctrl.slotMCDone();
        ctrl.slotMCNextStepPointer();
        int reported = target;
        ctrl.slotMCNextStep(&reported, 4);
        if (ctrl.currentFlowStep() == TouchFlow::CheckingTouch) {
            // The module's points so far, all in one spot: nothing to judge by, the touch is taken.
            std::vector<int> points(50, 0);
            ctrl.slotMCNextStep(points.data(), 200);
        }
    }
}

std::vector<unsigned char> eepromWithCount(std::int32_t count, int pairs, unsigned char lens) {
    std::vector<unsigned char> block(400, 0);
    std::memcpy(block.data() + 116, &count, 4);
    for (int i = 0; i < pairs && i < 35; ++i) {
        const float x = 1.5f + static_cast<float>(i);
        const float y = -2.25f - static_cast<float>(i);
        std::memcpy(block.data() + 120 + 8 * i, &x, 4);
        std::memcpy(block.data() + 124 + 8 * i, &y, 4);
    }
    block[327] = lens;
    return block;
}

} // namespace

TEST_F(ZelmoMainCtrlTest, FirmwareVersionFlags) {
    ZelmoMainCtrl ctrl(&texts);
    QSignalSpy relayed(&ctrl, &ZelmoMainCtrl::sigSetFWVersion);
    EXPECT_EQ(ctrl.firmwareMinor(), 10);

    ctrl.slotSetFWVersion(QStringLiteral("50.07"));
    EXPECT_EQ(ctrl.firmwareIsSupported(), 1);
    EXPECT_EQ(ctrl.firmwareMinor(), 10);

    ctrl.slotSetFWVersion(QStringLiteral("51.05"));
    EXPECT_EQ(ctrl.firmwareIsSupported(), 1);
    EXPECT_EQ(ctrl.firmwareMinor(), 0);

    ctrl.slotSetFWVersion(QStringLiteral("51.12"));
    EXPECT_EQ(ctrl.firmwareMinor(), 12);

    ctrl.slotSetFWVersion(QStringLiteral("52.00"));
    EXPECT_EQ(ctrl.firmwareIsSupported(), 0);
    EXPECT_EQ(ctrl.firmwareMinor(), 12);
    ctrl.StartACalibration();
    ctrl.StartSCalibration();
    ctrl.StartMCalibration();
    EXPECT_EQ(ctrl.currentFlowStep(), 0);
    EXPECT_FALSE(ctrl.calibWindow()->isVisible());

    // A minor that is not a number: the major still counts, the minor is kept.
    ctrl.slotSetFWVersion(QStringLiteral("51.x"));
    EXPECT_EQ(ctrl.firmwareIsSupported(), 1);
    EXPECT_EQ(ctrl.firmwareMinor(), 12);
    ctrl.slotSetFWVersion(QString());
    EXPECT_EQ(ctrl.firmwareIsSupported(), 0);

    ASSERT_EQ(relayed.count(), 6);
    EXPECT_EQ(relayed.at(3).at(0).toString(), QStringLiteral("52.00"));
}

TEST_F(ZelmoMainCtrlTest, StoredTuningRecord) {
    ZelmoMainCtrl ctrl(&texts);
    auto block = eepromWithCount(3, 3, 2);
    ctrl.slotSetPrevTweak(block.data());
    EXPECT_EQ(ctrl.storedTweaks().count, 3);
    EXPECT_EQ(ctrl.storedTweaks().offsets[2], QPointF(3.5, -4.25));
    EXPECT_EQ(ctrl.storedTweaks().offsets[3], QPointF());
    EXPECT_EQ(ctrl.storedTweaks().lens, 2);

    // Count 0 clears the cached offsets.
    block = eepromWithCount(0, 5, 1);
    ctrl.slotSetPrevTweak(block.data());
    EXPECT_EQ(ctrl.storedTweaks().count, 0);
    EXPECT_EQ(ctrl.storedTweaks().offsets[0], QPointF());

    // 25 is the most the block holds.
    block = eepromWithCount(25, 25, 3);
    ctrl.slotSetPrevTweak(block.data());
    EXPECT_EQ(ctrl.storedTweaks().count, 25);
    EXPECT_EQ(ctrl.storedTweaks().offsets[24], QPointF(25.5, -26.25));
}

TEST_F(ZelmoMainCtrlTest, UnusableTuningRecordsLeaveNoOffsets) {
    ZelmoMainCtrl ctrl(&texts);
    auto good = eepromWithCount(4, 4, 3);
    for (std::int32_t bad : {26, -1, 0x7fffffff, static_cast<std::int32_t>(0x80000000)}) {
        ctrl.slotSetPrevTweak(good.data());
        ASSERT_EQ(ctrl.storedTweaks().count, 4);
        auto block = eepromWithCount(bad, 25, 3);
        ctrl.slotSetPrevTweak(block.data());
        EXPECT_EQ(ctrl.storedTweaks().count, 0) << bad;
        EXPECT_EQ(ctrl.storedTweaks().offsets[0], QPointF()) << bad;
        EXPECT_EQ(ctrl.storedTweaks().lens, 0) << bad;
    }
    // Offsets that are not numbers.
    auto block = eepromWithCount(2, 2, 3);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::memcpy(block.data() + 128, &nan, 4);
    ctrl.slotSetPrevTweak(block.data());
    EXPECT_EQ(ctrl.storedTweaks().count, 0);
    ctrl.slotSetPrevTweak(nullptr);
    EXPECT_EQ(ctrl.storedTweaks().count, 0);
}

TEST_F(ZelmoMainCtrlTest, LiveFramesBecomeRgbImagesOverOneBuffer) {
    ZelmoMainCtrl ctrl(&texts);
    QSignalSpy images(&ctrl, &ZelmoMainCtrl::sigUpdateAlignImage);
    std::vector<unsigned char> frame(230400);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<unsigned char>(i * 7);
    ctrl.slotNewFrameReceived(frame.data(), 230400);
    ASSERT_EQ(images.count(), 1);
    const QImage first = images.at(0).at(0).value<QImage>();
    EXPECT_EQ(first.size(), QSize(640, 360));
    EXPECT_EQ(first.format(), QImage::Format_RGB888);
    const unsigned char g = frame[641];
    EXPECT_EQ(first.pixel(1, 1), qRgb(g, g, g));
    const uchar* buffer = first.constBits();

    ctrl.slotNewFrameReceived(frame.data(), 230400);
    ASSERT_EQ(images.count(), 2);
    EXPECT_EQ(images.at(1).at(0).value<QImage>().constBits(), buffer);
}

TEST_F(ZelmoMainCtrlTest, LiveFramesOfTheWrongSizeStopTheStream) {
    ZelmoMainCtrl ctrl(&texts);
    QSignalSpy images(&ctrl, &ZelmoMainCtrl::sigUpdateAlignImage);
    std::vector<unsigned char> frame(921600, 128);
    ctrl.slotNewFrameReceived(frame.data(), 230399);
    ctrl.slotNewFrameReceived(frame.data(), 230401);
    ctrl.slotNewFrameReceived(frame.data(), 921600);
    ctrl.slotNewFrameReceived(frame.data(), -1);
    ctrl.slotNewFrameReceived(nullptr, 230400);
    EXPECT_EQ(images.count(), 0);
}

TEST_F(ZelmoMainCtrlTest, ResultMessages) {
    ZelmoMainCtrl ctrl(&texts);
    QSignalSpy stored(&ctrl, &ZelmoMainCtrl::sigCalibrationStored);
    ctrl.slotSetCalibResult(1);
    EXPECT_TRUE(boxes.empty());
    // Success is not silent: the settings window is told, without a box.
    EXPECT_EQ(stored.count(), 1);
    ctrl.slotSetCalibResult(0);
    EXPECT_EQ(stored.count(), 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].kind, MessageBoxSeam::Kind::Critical);
    EXPECT_EQ(boxes[0].title, QStringLiteral("Vexaro"));
    EXPECT_EQ(boxes[0].text, QStringLiteral("Calibration failed. Please try again."));
}

TEST_F(ZelmoMainCtrlTest, WatcherReportsArriveQueuedOnTheGuiThread) {
    ZelmoMainCtrl ctrl(&texts);
    ctrl.slotSetFWVersion(QStringLiteral("51.05"));
    QObject receiver; // lives in the GUI thread
    QList<bool> state;
    bool onGuiThread = true;
    QObject::connect(&ctrl, &ZelmoMainCtrl::sigChangeUIState, &receiver, [&](bool connected) {
        onGuiThread = onGuiThread && QThread::currentThread() == receiver.thread();
        state.append(connected);
    });
    DeviceWatchClient& client = ZelmoMainCtrlProbe::watchClient(ctrl);
    std::thread watch([&client] {
        client.setConnected(true);
        client.reportOpened();
        client.setConnected(false);
        client.reportAbsent();
    });
    watch.join();
    EXPECT_EQ(ctrl.firmwareIsSupported(), 0);
    EXPECT_FALSE(client.isConnected());
    EXPECT_TRUE(state.isEmpty()); // queued, not yet delivered
    ASSERT_EVENTUALLY_EQ(state.size(), 2);
    EXPECT_TRUE(state.at(0));
    EXPECT_FALSE(state.at(1));
    EXPECT_TRUE(onGuiThread);
}

TEST_F(ZelmoMainCtrlTest, WatcherStartsOnceAndStopsWithTheController) {
    // ThreadSanitizer starts a helper thread of its own with the process's first thread.
    std::thread([] {}).join();
    const int threadsBefore = processThreadCount();
    auto ctrl = std::make_unique<ZelmoMainCtrl>(&texts);
    DeviceWatchClient& client = ZelmoMainCtrlProbe::watchClient(*ctrl);
    const int threadsUnwatched = processThreadCount(); // the USB library may run one of its own
    ctrl->StartDeviceWatch();
    EXPECT_FALSE(client.watchStopRequested());
    ctrl->StartDeviceWatch();
    EXPECT_EQ(processThreadCount(), threadsUnwatched + 1) << "one watch thread, not two";
    ctrl.reset(); // must not hang or leave the thread running over a deleted device link
    EXPECT_EQ(processThreadCount(), threadsBefore);
}

TEST_F(ZelmoMainCtrlTest, AlignmentModeSwitchesTheLiveStream) {
    ZelmoMainCtrl ctrl(&texts);
    EXPECT_EQ(ctrl.device()->liveStreamStopped(), 1);
    ctrl.StartAlignmentDisplay();
    EXPECT_EQ(ctrl.device()->liveStreamStopped(), 0);
    ctrl.StopAlignmentDisplay();
    EXPECT_EQ(ctrl.device()->liveStreamStopped(), 1);
}

// A module on the bus that cannot be opened: M1 once per episode, not every watch cycle; an open or
// an absence ends the episode.
TEST_F(ZelmoMainCtrlTest, CannotConnectIsSaidOncePerEpisode) {
    ZelmoMainCtrl ctrl(&texts);
    DeviceWatchClient& client = ZelmoMainCtrlProbe::watchClient(ctrl);
    std::thread watch([&client] {
        for (int i = 0; i < 3; ++i)
            client.reportOpenFailed();
    });
    watch.join();
    ASSERT_EVENTUALLY_EQ(static_cast<int>(boxes.size()), 1);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Error! Cannot connect to Vexaro."));
    EXPECT_EQ(boxes[0].title, QStringLiteral("Vexaro"));
    client.reportOpenFailed();
    client.reportAbsent();
    client.reportOpenFailed();
    ASSERT_EVENTUALLY_EQ(static_cast<int>(boxes.size()), 2);
    client.reportOpened();
    client.reportOpenFailed();
    ASSERT_EVENTUALLY_EQ(static_cast<int>(boxes.size()), 3);
    client.reportOpenFailed();
    // A marker queued behind it: once it has run, a box from the call above would have been shown.
    bool markerRan = false;
    QMetaObject::invokeMethod(
        &ctrl, [&markerRan] { markerRan = true; }, Qt::QueuedConnection);
    ASSERT_EVENTUALLY(markerRan);
    EXPECT_EQ(boxes.size(), 3u);
}

// A known reason travels as a value to the GUI thread and replaces the M1 box: the settings window
// says it with what to do. An open failure of another kind still gets its box.
TEST_F(ZelmoMainCtrlTest, KnownOpenFailuresAreToldInTheWindowNotInABox) {
    ZelmoMainCtrl ctrl(&texts);
    QObject receiver; // lives in the GUI thread
    QList<ModuleProblem> problems;
    bool onGuiThread = true;
    QObject::connect(&ctrl, &ZelmoMainCtrl::sigModuleProblem, &receiver, [&](ModuleProblem problem) {
        onGuiThread = onGuiThread && QThread::currentThread() == receiver.thread();
        problems.append(problem);
    });
    DeviceWatchClient& client = ZelmoMainCtrlProbe::watchClient(ctrl);
    std::thread watch([&client] {
        client.reportProblem(ModuleProblem::noPermission);
        client.reportOpenFailed();
        client.reportProblem(ModuleProblem::noHidInterface);
        client.reportOpenFailed();
        client.reportProblem(ModuleProblem::noModule);
        client.reportAbsent();
        client.reportProblem(ModuleProblem::openFailed);
        client.reportOpenFailed();
    });
    watch.join();
    ASSERT_EVENTUALLY_EQ(problems.size(), 4);
    EXPECT_EQ(problems, (QList<ModuleProblem>{ModuleProblem::noPermission, ModuleProblem::noHidInterface,
                                              ModuleProblem::noModule, ModuleProblem::openFailed}));
    EXPECT_TRUE(onGuiThread);
    ASSERT_EVENTUALLY_EQ(static_cast<int>(boxes.size()), 1);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Error! Cannot connect to Vexaro."));
}

// The module lost during a calibration: the flow ends, the user is told (M19), nothing stays armed;
// lost while no flow runs, nothing is said.
TEST_F(ZelmoMainCtrlTest, ModuleLostDuringACalibrationEndsTheFlow) {
    ZelmoMainCtrl ctrl(&texts);
    ctrl.deviceLost();
    EXPECT_TRUE(boxes.empty());
    ctrl.slotSetFWVersion(QStringLiteral("51.05"));
    ctrl.setLens(3);
    ctrl.StartMCalibration();
    ASSERT_EQ(ctrl.currentFlowStep(), 3);
    touchCaptureArmed.store(true);
    ctrl.deviceLost();
    EXPECT_EQ(ctrl.currentFlowStep(), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Vexaro is disconnected from the PC."));
    EXPECT_FALSE(ctrl.calibWindow() && ctrl.calibWindow()->isVisible());
    EXPECT_FALSE(touchCaptureArmed.load());

    // An automatic run fails for want of the module, and says so.
    boxes.clear();
    ctrl.StartACalibration();
    ctrl.slotACNextStep();
    ASSERT_EQ(ctrl.currentFlowStep(), 7);
    ctrl.deviceLost();
    EXPECT_EQ(ctrl.currentFlowStep(), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Calibration failed. Please try again.\n\nThe module stopped answering or was "
                             "unplugged. Check the USB cable, then try again.");
}

// Each state that waits for the module arms its own limit: captures the capture limit, images the
// transfer limit. A blank pattern image then fails the analysis, which ends the run with M14.
TEST_F(ZelmoMainCtrlTest, EveryAutomaticWaitHasTheLimitOfWhatItWaitsFor) {
    ZelmoMainCtrl ctrl(&texts);
    makeReady(ctrl);
    FlowLimits limits = limitsOf(61000, 62000, 63000);
    limits.analysisMs = 64000;
    ctrl.setFlowLimits(limits);
    ctrl.StartACalibration();
    std::vector<std::pair<int, int>> waits;
    for (int i = 0; i < 6; ++i) {
        waits.emplace_back(ctrl.currentFlowStep(), ctrl.runningFlow()->armedLimitMs());
        if (i < 5)
            ctrl.slotACNextStep();
    }
    const std::vector<std::pair<int, int>> expected = {{6, 61000}, {7, 62000},  {8, 61000},
                                                       {9, 62000}, {10, 61000}, {11, 62000}};
    EXPECT_EQ(waits, expected);
    std::vector<unsigned char> blank(1280 * 720, 0);
    ctrl.slotNewACImageReceived(blank.data(), static_cast<int>(blank.size()));
    // The analysis runs on its worker, under a limit of its own.
    EXPECT_EQ(ctrl.currentFlowStep(), AutomaticFlow::Analysing);
    EXPECT_EQ(ctrl.runningFlow()->armedLimitMs(), 64000);
    ASSERT_EVENTUALLY(ctrl.currentFlowStep() == 0);
    EXPECT_EQ(ctrl.runningFlow()->armedLimitMs(), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text,
              "Calibration failed. Please try again.\n\nThe picture is too dark, or its "
              "contrast is too low. Dim the room light or turn up the projector's brightness.");
    EXPECT_EQ(boxes[0].details.size(), QSize(1280, 720));
}

TEST_F(ZelmoMainCtrlTest, APassedLimitEndsTheRunLikeEscapeAndSaysM14) {
    ZelmoMainCtrl ctrl(&texts);
    makeReady(ctrl);
    ctrl.setFlowLimits(limitsOf(50, 50, 50));
    ctrl.StartACalibration();
    ASSERT_EQ(ctrl.currentFlowStep(), 6);
    EXPECT_TRUE(ctrl.calibWindow()->isVisible());
    ASSERT_EVENTUALLY_EQ(static_cast<int>(boxes.size()), 1);
    EXPECT_EQ(boxes[0].kind, MessageBoxSeam::Kind::Critical);
    EXPECT_EQ(boxes[0].text, "Calibration failed. Please try again.\n\nThe module stopped answering or was "
                             "unplugged. Check the USB cable, then try again.");
    EXPECT_EQ(ctrl.currentFlowStep(), 0);
    EXPECT_FALSE(ctrl.calibWindow()->isVisible());

    // Closed by the user first: the limit goes with the run, nothing is said later.
    boxes.clear();
    ctrl.setFlowLimits(limitsOf(60000, 60000, 60000));
    ctrl.StartACalibration();
    ASSERT_GT(ctrl.runningFlow()->armedLimitMs(), 0);
    emit ctrl.calibWindow()->sigCaliDlgWorkingDone(false);
    EXPECT_EQ(ctrl.currentFlowStep(), 0);
    EXPECT_EQ(ctrl.runningFlow()->armedLimitMs(), 0);
    EXPECT_FALSE(ctrl.calibWindow()->isVisible());
    EXPECT_TRUE(boxes.empty());
}

// Target input waits for a person and is never timed; the module's touched points are.
TEST_F(ZelmoMainCtrlTest, TouchPhaseTimesTheModuleNotThePerson) {
    ZelmoMainCtrl ctrl(&texts);
    makeReady(ctrl);
    ctrl.setFlowLimits(limitsOf(50, 50, 80));
    ctrl.StartMCalibration();
    ASSERT_EQ(ctrl.currentFlowStep(), 3);
    EXPECT_EQ(ctrl.runningFlow()->armedLimitMs(), 0);
    ASSERT_EQ(ctrl.calibWindow()->targetCount(), 16);
    finishEveryTarget(ctrl);
    ASSERT_EQ(ctrl.currentFlowStep(), 4);
    EXPECT_EQ(ctrl.runningFlow()->armedLimitMs(), 80);
    // Points of the wrong length are no answer: the limit still runs out.
    std::vector<int> shortPoints(25, 0);
    ctrl.slotMCNextStep(shortPoints.data(), 100);
    EXPECT_EQ(ctrl.currentFlowStep(), 4);
    ASSERT_EVENTUALLY_EQ(static_cast<int>(boxes.size()), 1);
    EXPECT_EQ(boxes[0].text, "Calibration failed. Please try again.\n\nThe module stopped answering or was "
                             "unplugged. Check the USB cable, then try again.");
    EXPECT_EQ(ctrl.currentFlowStep(), 0);
    EXPECT_FALSE(ctrl.calibWindow()->isVisible());
}

// The window's advance flag decides what the module's "target finished" means: before the ring
// completed the target is repeated, after it the next one is armed, and only once.
TEST_F(ZelmoMainCtrlTest, AdvanceReadyDecidesBetweenRepeatingAndMovingOn) {
    ZelmoMainCtrl ctrl(&texts);
    makeReady(ctrl);
    ctrl.StartMCalibration();
    CalibDlg* w = ctrl.calibWindow();
    int reported = 0;

    ctrl.slotMCDone();
    EXPECT_TRUE(w->ringRunning());
    EXPECT_FALSE(w->advanceReady());
    ctrl.slotMCNextStep(&reported, 4); // lifted before the ring completed
    EXPECT_FALSE(w->ringRunning());
    EXPECT_EQ(w->targetIndex(), 0);

    ctrl.slotMCDone();
    ctrl.slotMCNextStepPointer();
    EXPECT_EQ(w->targetIndex(), 1);
    EXPECT_TRUE(w->advanceReady());
    ctrl.slotMCNextStep(&reported, 4); // target 0 finished: target 1 is armed
    EXPECT_FALSE(w->advanceReady());
    // The module repeating its report must not skip target 1.
    ctrl.slotMCNextStep(&reported, 4);
    EXPECT_EQ(w->targetIndex(), 1);
    EXPECT_EQ(ctrl.currentFlowStep(), 3);

    // Back to target 0, which is armed again at once.
    ctrl.slotMCPrevStepPointer();
    EXPECT_EQ(w->targetIndex(), 0);
    EXPECT_FALSE(w->advanceReady());
    ctrl.slotMCPrevStepPointer(); // nowhere further back
    EXPECT_EQ(w->targetIndex(), 0);
}

// Closing the window in the touch phase ends it for good; a new start begins again.
TEST_F(ZelmoMainCtrlTest, ClosingDuringTheTouchPhaseEndsOnlyThatRun) {
    ZelmoMainCtrl ctrl(&texts);
    makeReady(ctrl);
    ctrl.StartMCalibration();
    ASSERT_EQ(ctrl.currentFlowStep(), 3);
    ctrl.slotCaliDlgWorkingDone(true);
    EXPECT_EQ(ctrl.currentFlowStep(), 0);
    EXPECT_FALSE(ctrl.calibWindow()->isVisible());
    // Events of the ended run change nothing.
    ctrl.slotMCDone();
    ctrl.slotMCNextStepPointer();
    EXPECT_FALSE(ctrl.calibWindow()->ringRunning());
    EXPECT_EQ(ctrl.calibWindow()->targetIndex(), 0);
    // A new start begins at the first target.
    ctrl.StartMCalibration();
    EXPECT_EQ(ctrl.currentFlowStep(), 3);
    EXPECT_EQ(ctrl.calibWindow()->targetIndex(), 0);
}

// The window repaints before a step sends its command, and the user's Escape can arrive during that
// wait: the step must not go on to ask the module for the next image of a run that has ended.
TEST_F(ZelmoMainCtrlTest, EscapeDuringTheRepaintOfAStepEndsTheRun) {
    ZelmoMainCtrl ctrl(&texts);
    makeReady(ctrl);
    ctrl.StartACalibration();
    ASSERT_EQ(ctrl.currentFlowStep(), 6);
    bool closed = false;
    QMetaObject::invokeMethod(
        ctrl.calibWindow(),
        [&] {
            closed = true;
            emit ctrl.calibWindow()->sigCaliDlgWorkingDone(false);
        },
        Qt::QueuedConnection);
    ctrl.slotACNextStep(); // black captured: the window turns white first
    ASSERT_TRUE(closed) << "the repaint wait delivers queued events";
    EXPECT_EQ(ctrl.currentFlowStep(), 0);
    EXPECT_EQ(ctrl.runningFlow()->armedLimitMs(), 0);
    EXPECT_FALSE(ctrl.calibWindow()->isVisible());
}
