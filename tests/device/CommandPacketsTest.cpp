#include "device/CommandPackets.h"
#include "device/PacketCodes.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

// The packet's bytes from the code up to the end of its payload.
std::vector<int> wire(const DevicePacket& p) {
    const int n = DevicePacket::headerSize + static_cast<int>(p.length());
    return std::vector<int>(p.data(), p.data() + n);
}

} // namespace

// Each packet against its bytes as the module reads them, written out by hand.
TEST(CommandPacketsTest, BytesOnTheWire) {
    EXPECT_EQ(wire(CommandPackets::registerWrite(0x350A, 0x12)),
              (std::vector<int>{0x06, 0x10, 0, 0, 3, 0, 0, 0, 0x0A, 0x35, 0x12}));
    EXPECT_EQ(wire(CommandPackets::imageRequest(2, 79)),
              (std::vector<int>{0x13, 0x10, 0, 0, 2, 0, 0, 0, 2, 79}));
    EXPECT_EQ(wire(CommandPackets::partRequest(0x101, 77, 0x302)),
              (std::vector<int>{0x21, 0x11, 0, 0, 12, 0, 0, 0, 1, 1, 0, 0, 77, 0, 0, 0, 2, 3, 0, 0}));
    // 1.5 as a little-endian double: 0x3FF8000000000000.
    EXPECT_EQ(wire(CommandPackets::fixCoordRatio(2, 1.5)),
              (std::vector<int>{0x2A, 0x11, 0, 0, 12, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}));
    EXPECT_EQ(wire(CommandPackets::plain(CMD_MC_START)), (std::vector<int>{0x04, 0x11, 0, 0, 0, 0, 0, 0}));
}

// The dark capture's level: lower for the wide lens, lower still on newer firmware.
TEST(CommandPacketsTest, BlackCaptureLevelFollowsLensAndFirmware) {
    const auto level = [](int lens, int minor) {
        return CommandPackets::blackCapture(lens, minor).u8(10);
    };
    EXPECT_EQ(level(0, 0), 0x80);
    EXPECT_EQ(level(1, 20), 0x70);
    EXPECT_EQ(level(2, 20), 0x80);
    EXPECT_EQ(level(3, 9), 0x60);
    EXPECT_EQ(level(3, 10), 0x40);
    EXPECT_EQ(CommandPackets::blackCapture(3, 10).length(), 3u);
}

TEST(CommandPacketsTest, FrequentPacketsStayOutOfTheTrace) {
    EXPECT_FALSE(CommandPackets::traced(CMD_LIVE_SENDIMG));
    EXPECT_FALSE(CommandPackets::traced(CMD_SETUP_ALIVE));
    EXPECT_TRUE(CommandPackets::traced(CMD_AC_SENDIMG));
    EXPECT_TRUE(CommandPackets::traced(CMD_IIC_WR));
}
