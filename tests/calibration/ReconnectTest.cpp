#include "FlowHarness.h"
#include "calibration/ZelmoMainCtrl.h"

#include <gtest/gtest.h>

// The module leaves while the alignment view streams and comes back: the reopened link reads the
// module's replies again, so the version, options and stored record reach the window.
TEST(Reconnect, ModuleBackAfterLeavingDuringTheLiveStreamAnswersTheConnectSequence) {
    FlowHarness h{VirtualRig()};
    ASSERT_TRUE(h.connected);
    int versions = 0;
    QObject::connect(h.controller.get(), &ZelmoMainCtrl::sigSetFWVersion, h.controller.get(),
                     [&](const QString&) { ++versions; });
    int frames = 0;
    QObject::connect(h.controller.get(), &ZelmoMainCtrl::sigUpdateAlignImage, h.controller.get(),
                     [&](const QImage&) { ++frames; });
    // The controller tells of the loss once it has handled it (the live stream stopped).
    int absentReports = 0;
    QObject::connect(h.controller.get(), &ZelmoMainCtrl::sigChangeUIState, h.controller.get(),
                     [&](bool present) { absentReports += present ? 0 : 1; });
    h.controller->StartAlignmentDisplay();
    ASSERT_TRUE(eventsUntil([&] { return frames > 0; }, 5000));
    h.module->unplug();
    ASSERT_TRUE(eventsUntil([&] { return absentReports > 0; }, 10000));
    h.module->plug();
    ASSERT_TRUE(eventsUntil([&] { return versions > 0; }, 10000));
}
