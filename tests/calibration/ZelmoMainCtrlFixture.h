#pragma once

// The controller with its window and no module, and a probe of its watch-client side: shared by
// the controller's tests.
#include "calibration/AutomaticFlow.h"
#include "calibration/CalibDlg.h"
#include "calibration/FlowLimits.h"
#include "calibration/TouchFlow.h"
#include "calibration/ZelmoMainCtrl.h"
#include "device/CamDevCtrl.h"
#include "device/DeviceWatchClient.h"
#include "device/UsbTransport.h"
#include "platform/Pacing.h"
#include "services/LanguageTexts.h"
#include "services/MessageBoxSeam.h"
#include "tests/support/EmptyBusTransport.h"
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
inline void makeReady(ZelmoMainCtrl& ctrl) {
    ctrl.slotSetFWVersion(QStringLiteral("51.05"));
    ctrl.setLens(3);
}

inline FlowLimits limitsOf(int captureMs, int imageMs, int replyMs) {
    FlowLimits limits;
    limits.captureMs = captureMs;
    limits.imageTransferMs = imageMs;
    limits.moduleReplyMs = replyMs;
    return limits;
}

// A step that changed the screen goes on once the window reports its paint (queued): true once no
// step waits for one.
inline bool stepPainted(ZelmoMainCtrl& ctrl) {
    return eventsUntil([&ctrl] { return !ctrl.runningFlow() || !ctrl.runningFlow()->awaitingPaint(); });
}

// Walks the touch phase to the module's request for the touched points.
inline void finishEveryTarget(ZelmoMainCtrl& ctrl) {
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

inline std::vector<unsigned char> eepromWithCount(std::int32_t count, int pairs, unsigned char lens) {
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
