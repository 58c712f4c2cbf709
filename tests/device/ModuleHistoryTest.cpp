#include "device/DevicePacket.h"
#include "device/PacketCodes.h"
#include "sim/SimulatedModule.h"

#include <gtest/gtest.h>

namespace {

void send(ModuleDevice& module, std::uint32_t code, std::uint32_t value) {
    DevicePacket p = DevicePacket::make(code);
    p.setLength(4);
    p.setU32(8, value);
    int transferred = 0;
    ASSERT_EQ(module.writeRequest(p.data(), DevicePacket::size, &transferred), UsbError::none);
}

} // namespace

// A long session: the module keeps only the most recent requests in order, yet every count and the
// last packet of each code stay exact.
TEST(ModuleHistory, LongSessionKeepsRecentRequestsExactCountsAndLastOfEachCode) {
    SimulatedModule module;
    const auto total = static_cast<std::uint32_t>(ModuleDevice::recentCapacity * 3 + 7);
    send(module, CMD_STOP_TRACKING, 42);
    for (std::uint32_t i = 0; i < total; ++i)
        send(module, CMD_IIC_WR, i);
    const auto recent = module.receivedPackets();
    ASSERT_EQ(recent.size(), ModuleDevice::recentCapacity);
    EXPECT_EQ(recent.front().u32(8), total - ModuleDevice::recentCapacity);
    EXPECT_EQ(recent.back().u32(8), total - 1);
    EXPECT_EQ(module.commandCount(CMD_IIC_WR), static_cast<int>(total));
    EXPECT_EQ(module.commandCount(CMD_STOP_TRACKING), 1);
    // Long gone from the recent requests, still known as the last of its code.
    ASSERT_TRUE(module.lastReceived(CMD_STOP_TRACKING).has_value());
    EXPECT_EQ(module.lastReceived(CMD_STOP_TRACKING)->u32(8), 42u);
    EXPECT_EQ(module.lastReceived(CMD_IIC_WR)->u32(8), total - 1);
    EXPECT_FALSE(module.lastReceived(CMD_SENDVERSION).has_value());

    module.clearCounters();
    EXPECT_TRUE(module.receivedPackets().empty());
    EXPECT_EQ(module.commandCount(CMD_IIC_WR), 0);
    EXPECT_FALSE(module.lastReceived(CMD_IIC_WR).has_value());
}

// Codes the module has never heard of: beyond a fixed number of distinct codes they are no longer
// counted, while the codes already known keep counting.
TEST(ModuleHistory, DistinctCodesAreBounded) {
    SimulatedModule module;
    send(module, CMD_IIC_WR, 1);
    for (std::uint32_t i = 0; i < ModuleDevice::codeCapacity + 50; ++i)
        send(module, 0x70000000u + i, i);
    send(module, CMD_IIC_WR, 2);
    EXPECT_EQ(module.commandCount(CMD_IIC_WR), 2);
    EXPECT_EQ(module.lastReceived(CMD_IIC_WR)->u32(8), 2u);
    EXPECT_EQ(module.commandCount(0x70000000u), 1);
    EXPECT_EQ(module.commandCount(0x70000000u + ModuleDevice::codeCapacity + 49), 0);
    EXPECT_FALSE(module.lastReceived(0x70000000u + ModuleDevice::codeCapacity + 49).has_value());
}
