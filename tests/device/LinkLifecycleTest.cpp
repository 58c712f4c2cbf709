#include "DeviceTestSupport.h"

#include "device/PacketCodes.h"

#include <thread>

// A RES_MC_PATTERN_END whose length field claims 200 bytes must not let a slot read 200 bytes from
// the 4-byte value it points at (as the touched points of the manual-point step would).
TEST_F(SimulatedLinkTest, PatternEndNeverHandsOnMoreThanItsValue) {
    openLink();
    std::vector<int> lengths;
    QObject::connect(link.get(), &CamDevCtrl::sigMCNextStep, [&](int*, int n) { lengths.push_back(n); });
    for (std::uint32_t claimed : {200u, 4u, 0xFFFFFFF0u}) {
        DevicePacket end = DevicePacket::make(RES_MC_PATTERN_END);
        end.setLength(claimed);
        end.setU32(8, 7);
        module->injectPacket(ModuleUsb::replyEndpoint, end);
    }
    ASSERT_TRUE(eventsUntil([&] { return lengths.size() == 3; }));
    for (int n : lengths) {
        EXPECT_GE(n, 0);
        EXPECT_LE(n, 4);
    }
}

// The receive mode is an argument of the restart, under one lock with the reopen: whatever the
// interleaving, the receiver ends in the mode last asked for, on the open handle.
TEST_F(SimulatedLinkTest, RestartAndReopenInterleavedEndInTheAskedMode) {
    openLink();
    std::thread watch([this] {
        for (int i = 0; i < 3; ++i)
            link->openDevice();
    });
    for (int i = 0; i < 6; ++i)
        link->restartReceiver(i % 2);
    link->restartReceiver(1);
    watch.join();
    module->clearCounters();
    std::vector<int> frames;
    QObject::connect(link.get(), &CamDevCtrl::sigNewFrame,
                     [&](unsigned char*, int n) { frames.push_back(n); });
    link->requestLiveFrame();
    ASSERT_TRUE(eventsUntil([&] { return frames.size() == 1; }));
    EXPECT_EQ(frames[0], 230400);
}

// A reopen with the alignment view open keeps the live mode and asks again for the frame lost with
// the old handle, so the view goes on.
TEST_F(SimulatedLinkTest, ReopenKeepsTheLiveModeAndTheStream) {
    openLink();
    link->restartReceiver(1);
    link->setLiveStreamStopped(0);
    std::vector<int> frames;
    QObject::connect(link.get(), &CamDevCtrl::sigNewFrame,
                     [&](unsigned char*, int n) { frames.push_back(n); });
    module->unplug();
    module->plug();
    ASSERT_TRUE(link->openDevice());
    ASSERT_TRUE(eventsUntil([&] { return frames.size() == 1; }));
    EXPECT_EQ(frames[0], 230400);
    link->setLiveStreamStopped(1);
}

// A calibration image asked of a module that then left is abandoned at the reopen: an image end
// read afterwards asks the new module for no group or part of it.
TEST_F(SimulatedLinkTest, ReopenAbandonsTheImageAskedOfTheModuleThatLeft) {
    openLink();
    module->setFault(SimFault::StopsAnswering);
    link->requestAcImage(AcImageId::white, 0);
    ASSERT_TRUE(module->waitUntilIdle());
    module->unplug();
    module->clearFaults();
    module->plug();
    ASSERT_TRUE(link->openDevice());
    ASSERT_TRUE(eventsUntil([this] { return module->commandCount(CMD_GET_EEPROM) == 2; }));
    module->clearCounters();
    QSignalSpy nextStep(link.get(), &CamDevCtrl::sigACNextStep);
    module->injectPacket(ModuleUsb::replyEndpoint, DevicePacket::make(DAT_AC_IMGEND));
    module->injectPacket(ModuleUsb::replyEndpoint, DevicePacket::make(RES_AC_WHITE_END));
    ASSERT_TRUE(eventsUntil([&] { return nextStep.count() == 1; })); // the end was read before it
    ASSERT_TRUE(module->waitUntilIdle());
    EXPECT_EQ(module->commandCount(CMD_AC_SENDIMG), 0);
    EXPECT_EQ(module->commandCount(CMD_AC_SENDIMG_PART), 0);
}
