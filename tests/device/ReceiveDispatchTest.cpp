#include "DeviceTestSupport.h"

#include "device/DevicePacket.h"
#include "device/PacketCodes.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <vector>

namespace {

DevicePacket withByte(std::uint32_t code, std::uint32_t length, int offset, std::uint8_t value) {
    DevicePacket p = DevicePacket::make(code);
    p.setLength(length);
    p.setU8(offset, value);
    return p;
}

// Lets the receive thread read and dispatch everything queued before the GUI thread runs any
// slot: a packet of a code the tool ignores goes last, and once the receive thread has taken it,
// every packet before it has been dispatched (the loop reads one packet after the other).
void waitUntilRead(SimulatedModule& m, unsigned char endpoint) {
    constexpr std::uint32_t ignoredCode = 0x7F00;
    m.injectPacket(endpoint, DevicePacket::make(ignoredCode));
    QElapsedTimer t;
    t.start();
    while (m.pendingPackets(endpoint) > 0 && t.elapsed() < 5000)
        QThread::usleep(200);
    ASSERT_EQ(m.pendingPackets(endpoint), 0u);
}

// A stored-record packet whose slot runs after every packet the module sent before it: a
// "nothing arrived" check made after it has seen the whole answer.
void waitForMarker(SimulatedModule& m, CamDevCtrl& link) {
    int records = 0;
    const auto c =
        QObject::connect(&link, &CamDevCtrl::sigSetPrevTweak, [&records](unsigned char*) { ++records; });
    ASSERT_TRUE(m.waitUntilIdle());
    m.injectPacket(0x83, withByte(DAT_EEPROM, 400, 8, 0xA5));
    const bool seen = eventsUntil([&] { return records == 1; });
    QObject::disconnect(c);
    ASSERT_TRUE(seen);
}

} // namespace

TEST_F(SimulatedLinkTest, EachSlotSeesItsOwnPacket) {
    openLink();
    std::vector<int> records, targets;
    QObject::connect(link.get(), &CamDevCtrl::sigSetPrevTweak,
                     [&](unsigned char* p) { records.push_back(p[0]); });
    QObject::connect(link.get(), &CamDevCtrl::sigMCNextStep, [&](int* p, int) { targets.push_back(*p); });
    ASSERT_TRUE(eventsUntil([&] { return records.size() == 1; })); // the connect sequence's own
    records.clear();
    for (std::uint8_t i = 1; i <= 3; ++i) {
        module->injectPacket(0x83, withByte(DAT_EEPROM, 400, 8, i));
        DevicePacket end = DevicePacket::make(RES_MC_PATTERN_END);
        end.setLength(4);
        end.setU32(8, 10u + i);
        module->injectPacket(0x83, end);
    }
    // All six packets are read (and with bare pointers, overwritten) before any slot runs.
    waitUntilRead(*module, 0x83);
    ASSERT_TRUE(eventsUntil([&] { return records.size() == 3 && targets.size() == 3; }));
    EXPECT_EQ(records, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(targets, (std::vector<int>{11, 12, 13}));
}

TEST_F(SimulatedLinkTest, ConsecutiveImagesEachArriveWhole) {
    openLink();
    QSignalSpy step(link.get(), &CamDevCtrl::sigACNextStep);
    link->startBlackCapture(3, 12);
    link->startWhiteCapture(1);
    ASSERT_TRUE(eventsUntil([&] { return step.count() == 2; }));
    std::vector<std::vector<unsigned char>> got;
    QObject::connect(link.get(), &CamDevCtrl::sigACNewFrame,
                     [&](unsigned char* buf, int n) { got.emplace_back(buf, buf + n); });
    // The second transfer starts from the receive thread's side as soon as the first ends; the
    // GUI thread sees both only afterwards.
    link->requestAcImage(101, 0);
    ASSERT_TRUE(eventsUntil([&] { return module->commandCount(CMD_AC_SENDIMG) == 81; }));
    waitUntilRead(*module, 0x83);
    link->requestAcImage(102, 0);
    ASSERT_TRUE(eventsUntil([&] { return got.size() == 2; }));
    EXPECT_TRUE(got[0] == module->capturedImage(101));
    EXPECT_TRUE(got[1] == module->capturedImage(102));
}

TEST_F(SimulatedLinkTest, PayloadsOfTheWrongLengthAreDropped) {
    openLink();
    QSignalSpy options(link.get(), &CamDevCtrl::sigSetFWOption);
    int steps = 0;
    QObject::connect(link.get(), &CamDevCtrl::sigMCNextStep, [&](int*, int) { ++steps; });
    QSignalSpy version(link.get(), &CamDevCtrl::sigSetFWVersion);
    ASSERT_TRUE(eventsUntil([&] { return version.count() == 1 && options.count() == 1; })); // the connect's
    options.clear();
    version.clear();
    module->injectPacket(0x83, withByte(DAT_OPTION, 3, 8, 1));
    module->injectPacket(0x83, withByte(DAT_MC_INPUT_POINT, 199, 8, 1));
    module->injectPacket(0x83, withByte(0x7777, 0xFFFFFFFF, 8, 1));
    module->injectPacket(0x83, withByte(CMD_IIC_RD, 3, 8, 1));
    DevicePacket v = DevicePacket::make(DAT_VERSION);
    v.setU8(8, 10);
    module->injectPacket(0x83, v, 10); // a short read that still carries the version
    ASSERT_TRUE(eventsUntil([&] { return version.count() == 1; }));
    EXPECT_EQ(version.at(0).at(0).toString(), QStringLiteral("10.00"));
    EXPECT_EQ(options.count(), 0);
    EXPECT_EQ(steps, 0);
}

TEST_F(SimulatedLinkTest, ReportedSizesBeyondTheFrameBufferAreDropped) {
    openLink();
    link->stopReceiver();
    link->setReceiveMode(1);
    link->startReceiver();
    std::vector<int> liveSizes;
    QObject::connect(link.get(), &CamDevCtrl::sigNewFrame,
                     [&](unsigned char*, int n) { liveSizes.push_back(n); });
    DevicePacket huge = DevicePacket::make(DAT_LIVE_IMAGE);
    huge.setLength(504);
    huge.setU32(8, 0);
    huge.setU32(12, 0xFFFFFFF0u);
    module->injectPacket(0x84, huge);
    module->injectPacket(0x84, DevicePacket::make(DAT_LIVE_IMGEND));
    DevicePacket small = huge;
    small.setU32(12, 1000);
    module->injectPacket(0x84, small);
    module->injectPacket(0x84, DevicePacket::make(DAT_LIVE_IMGEND));
    ASSERT_TRUE(eventsUntil([&] { return liveSizes.size() == 1; }));
    EXPECT_EQ(liveSizes[0], 1000);
    link->stopReceiver();
}

TEST_F(SimulatedLinkTest, RefusedAndStalledTransfersReportNothing) {
    openLink();
    QSignalSpy step(link.get(), &CamDevCtrl::sigACNextStep);
    link->startWhiteCapture(1);
    ASSERT_TRUE(eventsUntil([&] { return step.count() == 1; }));
    int images = 0;
    QObject::connect(link.get(), &CamDevCtrl::sigACNewFrame, [&](unsigned char*, int) { ++images; });
    module->setFault(SimFault::LoseGroupEnd, 1.0);
    link->requestAcImage(102, 0);
    ASSERT_TRUE(eventsUntil([&] { return module->commandCount(CMD_AC_SENDIMG) == 1; }));
    waitForMarker(*module, *link);
    EXPECT_EQ(images, 0);
    EXPECT_EQ(module->commandCount(CMD_AC_SENDIMG), 1); // stalled in group 0
    module->clearFaults();
    module->setFault(SimFault::Nak, 1.0);
    link->requestAcImage(102, 0);
    ASSERT_TRUE(eventsUntil([&] { return module->commandCount(CMD_AC_SENDIMG) == 2; }));
    waitForMarker(*module, *link);
    EXPECT_EQ(images, 0);
    module->clearFaults();
    link->requestAcImage(102, 0); // a fresh start recovers
    ASSERT_TRUE(eventsUntil([&] { return images == 1; }));
}

TEST_F(SimulatedLinkTest, UnplugDuringTransferThenReopen) {
    openLink();
    QSignalSpy step(link.get(), &CamDevCtrl::sigACNextStep);
    link->startWhiteCapture(1);
    ASSERT_TRUE(eventsUntil([&] { return step.count() == 1; }));
    module->setFault(SimFault::LatencyMs, 0.2);
    link->requestAcImage(102, 0);
    // Unplugged once the module is answering the transfer.
    ASSERT_TRUE(eventsUntil([&] { return module->commandCount(CMD_AC_SENDIMG) == 1; }));
    module->unplug();
    EXPECT_FALSE(link->isDevicePresent(false));
    module->clearFaults();
    module->plug();
    ASSERT_TRUE(link->openDevice());
    // The old image is gone with the unplug; a new capture and transfer work on the new handle.
    int images = 0;
    QObject::connect(link.get(), &CamDevCtrl::sigACNewFrame, [&](unsigned char*, int) { ++images; });
    link->startWhiteCapture(1);
    ASSERT_TRUE(eventsUntil([&] { return step.count() == 2; }));
    link->requestAcImage(102, 0);
    ASSERT_TRUE(eventsUntil([&] { return images == 1; }));
}
