#include "calibration/ZelmoMainCtrl.h"
#include "device/CamDevCtrl.h"
#include "device/DevicePacket.h"
#include "device/PacketCodes.h"
#include "device/UsbTransport.h"
#include "platform/Pacing.h"
#include "services/LanguageTexts.h"
#include "sim/SimulatedModule.h"
#include "tests/support/EventualAssert.h"
#include "tests/support/FakeDisplays.h"
#include "tests/support/GraphTestBase.h"
#include "tests/ui/MainDlgWidgets.h"
#include "ui/AlignmentDlg.h"
#include "ui/ZelmoSetupDlg.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

// The whole graph against the simulated module, in process, with the pauses shortened.
class SimulatedRunTest : public GraphTestBase {};

TEST_F(SimulatedRunTest, ModuleConnectsSettingsReachItAndShutDownLeavesItTracking) {
    SimulatedModule module;
    module.setFirmwareVersion(51, 5);
    module.setOptions({1, 0, 1, 3});
    {
        ZelmoSetupDlg hub(nullptr, module.createTransport());
        QList<bool> state; // recorded on the GUI thread, where the hub receives the reports
        QObject::connect(hub.controller(), &ZelmoMainCtrl::sigChangeUIState, &hub,
                         [&state](bool connected) { state.append(connected); });
        QSignalSpy options(hub.controller(), &ZelmoMainCtrl::sigSetFWOption);
        hub.startUp();
        ASSERT_EVENTUALLY_WITHIN(state.count() >= 1, 5000);
        EXPECT_TRUE(state.at(0));
        ASSERT_EVENTUALLY_WITHIN(options.count() >= 1, 5000);
        const MainDlgWidgets ui(*hub.settingsWindow());
        ASSERT_EVENTUALLY_EQ(ui.labelFWVersion->text(), QStringLiteral("Firmware Version : 51.05"));
        EXPECT_EQ(hub.controller()->firmwareIsSupported(), 1);
        EXPECT_EQ(hub.controller()->firmwareMinor(), 0);
        EXPECT_TRUE(ui.checkCeiling->isChecked());
        EXPECT_TRUE(ui.radioFinger->isChecked());
        EXPECT_EQ(ui.comboLens->currentIndex(), 1);
        EXPECT_TRUE(ui.pushAutoCalib->isEnabled());

        // Pen mode and binning reach the module; ceiling does not.
        module.clearCounters();
        ui.radioPen->click();
        ui.checkRear->click();
        ASSERT_EVENTUALLY_EQ(module.commandCount(CMD_SET_FINGER_TOUCH_MODE), 1);

        // The alignment view streams; the queued gain writes go out with the first frames.
        QSignalSpy frames(hub.controller(), &ZelmoMainCtrl::sigUpdateAlignImage);
        ui.pushView->click();
        ASSERT_EVENTUALLY_WITHIN(hub.alignmentView()->liveImagesShown() >= 10, 5000);
        // A frame reaches the view over the very bytes the device link copied out of its receive
        // buffer: copied once, grey, and owned by the image.
        const QImage last = frames.last().at(0).value<QImage>();
        EXPECT_EQ(last.format(), QImage::Format_Grayscale8);
        EXPECT_EQ(last.constBits(),
                  reinterpret_cast<const uchar*>(hub.controller()->device()->lastLiveFrame().constData()));
        ASSERT_EVENTUALLY_EQ(module.sensorGain(), 256u);
        QTest::keyClick(hub.alignmentView(), Qt::Key_F11);
        ASSERT_EVENTUALLY_EQ(module.commandCount(CMD_SET_MONO_BIN), 1);
        hub.alignmentView()->setGain(2);
        ASSERT_EVENTUALLY_EQ(module.sensorGain(), 64u);
        QTest::keyClick(hub.alignmentView(), Qt::Key_Escape);
        EXPECT_FALSE(hub.alignmentView()->isVisible());
        // The stream ends: at most the frame in flight still arrives. A stored-record packet sent
        // now reaches the controller after everything the module streamed before it.
        const int atEscape = frames.count();
        int records = 0;
        QObject::connect(hub.controller()->device(), &CamDevCtrl::sigSetPrevTweak, &hub,
                         [&records](unsigned char*) { ++records; });
        const auto roundTrip = [&module, &records](int count) {
            module.waitUntilIdle();
            DevicePacket marker = DevicePacket::make(DAT_EEPROM);
            marker.setLength(400);
            module.injectPacket(0x83, marker);
            return QTest::qWaitFor([&] { return records == count; }, 5000);
        };
        ASSERT_TRUE(roundTrip(1));
        EXPECT_LE(frames.count(), atEscape + 1);
        const int liveRequests = module.commandCount(CMD_LIVE_SENDIMG);
        const int settled = frames.count();
        ASSERT_TRUE(roundTrip(2));
        EXPECT_EQ(frames.count(), settled);
        EXPECT_EQ(module.commandCount(CMD_LIVE_SENDIMG), liveRequests) << "no frame asked for";
        module.clearCounters();
    }
    EXPECT_EQ(module.commandCount(CMD_START_TRACKING), 1);
}

TEST_F(SimulatedRunTest, UnpluggedModuleIsReportedAndShutDownSendsNothing) {
    SimulatedModule module;
    module.unplug();
    {
        ZelmoSetupDlg hub(nullptr, module.createTransport());
        QList<bool> state;
        QObject::connect(hub.controller(), &ZelmoMainCtrl::sigChangeUIState, &hub,
                         [&state](bool connected) { state.append(connected); });
        hub.startUp();
        ASSERT_EVENTUALLY_WITHIN(state.count() >= 1, 5000);
        EXPECT_FALSE(state.at(0));
        EXPECT_FALSE(MainDlgWidgets(*hub.settingsWindow()).pushView->isEnabled());

        module.plug();
        ASSERT_EVENTUALLY_WITHIN(state.count() >= 2 && state.last(), 5000);
        EXPECT_TRUE(MainDlgWidgets(*hub.settingsWindow()).pushView->isEnabled());
        module.unplug();
        ASSERT_EVENTUALLY_WITHIN(!state.last(), 5000);
        module.clearCounters();
    }
    EXPECT_EQ(module.commandCount(CMD_START_TRACKING), 0);
}
