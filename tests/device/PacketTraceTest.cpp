#include "device/PacketTrace.h"
#include "device/DevicePacket.h"
#include "device/PacketCodes.h"

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace {

// A packet with the code, the length field and payload words from offset 8.
DevicePacket packet(std::uint32_t code, std::uint32_t length, std::vector<std::uint32_t> words = {}) {
    DevicePacket p;
    p.setCode(code);
    p.setLength(length);
    for (std::size_t i = 0; i < words.size(); ++i)
        p.setU32(8 + 4 * static_cast<int>(i), words[i]);
    return p;
}

struct TraceCase {
    DevicePacket packet;
    std::string expected;
};

} // namespace

TEST(DevicePacketTest, ZeroFilledAndBounded) {
    const std::uint8_t payload[3] = {1, 2, 3};
    const DevicePacket p = DevicePacket::make(CMD_IIC_WR, payload, 3);
    EXPECT_EQ(p.code(), 0x1006u);
    EXPECT_EQ(p.length(), 3u);
    EXPECT_EQ(p.u16(8), 0x0201);
    EXPECT_EQ(p.u8(10), 3);
    for (int i = 11; i < DevicePacket::size; ++i)
        ASSERT_EQ(p.u8(i), 0);
    // Reads past the packet yield zero; writes past it are dropped.
    EXPECT_EQ(p.u32(510), 0u);
    EXPECT_EQ(p.f64(508), 0.0);
    DevicePacket q;
    q.setU32(510, 0xFFFFFFFF);
    q.setU8(-1, 1);
    EXPECT_EQ(q.u16(510), 0);
    // A payload longer than a packet is cut at 504 bytes.
    const std::vector<std::uint8_t> big(600, 0xAB);
    EXPECT_EQ(DevicePacket::make(DAT_EEPROM, big.data(), 600).length(), 504u);
}

TEST(PacketTraceTest, CommandNames) {
    EXPECT_STREQ(commandName(CMD_SENDVERSION), "CMD_SENDVERSION");
    EXPECT_STREQ(commandName(RES_AC_RESULT), "RES_AC_RESULT");
    EXPECT_STREQ(commandName(CMD_SET_TRACKING_OPTION), "CMD_SET_TRACKING_OPTION");
    // Codes the lookup does not know, although the traces name some of them.
    for (std::uint32_t code : {0x1007u, 0x1008u, 0x1108u, 0x110Cu, 0x110Du, 0x1111u, 0x1112u, 0x111Au,
                               0x1123u, 0x1124u, 0x1128u, 0x112Bu, 0u, 0xFFFFFFFFu})
        EXPECT_STREQ(commandName(code), "Invalid Command") << std::hex << code;
}

// A name copied onto a second code would make two different packets read alike in a trace.
TEST(PacketTraceTest, EveryKnownCodeHasAProtocolNameOfItsOwn) {
    std::map<std::string, std::uint32_t> owner;
    for (std::uint32_t code = 0; code < 0x2000; ++code) {
        const std::string name = commandName(code);
        if (name == "Invalid Command")
            continue;
        EXPECT_TRUE(name.rfind("CMD_", 0) == 0 || name.rfind("RES_", 0) == 0 || name.rfind("DAT_", 0) == 0)
            << std::hex << code << " " << name;
        const auto [at, added] = owner.emplace(name, code);
        EXPECT_TRUE(added) << name << " names both 0x" << std::hex << at->second << " and 0x" << code;
    }
    EXPECT_FALSE(owner.empty());
}

TEST(PacketTraceTest, EveryFormat) {
    DevicePacket version = packet(DAT_VERSION, 2);
    version.setU8(8, 51);
    version.setU8(9, 12);
    DevicePacket reg = packet(CMD_IIC_WR, 3);
    reg.setU16(8, 0x350A);
    reg.setU8(10, 0x12);
    DevicePacket rd = reg;
    rd.setCode(CMD_IIC_RD);
    DevicePacket img = packet(CMD_AC_SENDIMG, 2);
    img.setU8(8, 101);
    img.setU8(9, 7);
    DevicePacket opt = packet(DAT_OPTION, 4);
    opt.setU8(8, 1);
    opt.setU8(9, 0);
    DevicePacket finger = packet(CMD_SET_FINGER_TOUCH_MODE, 4, {1});
    DevicePacket track = packet(CMD_SET_TRACKING_OPTION, 12);
    for (int i = 0; i < 12; ++i)
        track.setU8(8 + i, static_cast<std::uint8_t>(i + 1));
    DevicePacket ratio = packet(CMD_SET_FIX_COORD_RATIO, 12, {1});
    ratio.setF64(12, 1.5);

    const std::vector<TraceCase> cases = {
        {packet(0x1003, 0), "[0x1003]CMD_SENDVERSION : Len[0]"},
        {version, "[0x1004]DAT_VERSION : Len[2], Vers[33.C]"},
        {rd, "[0x1005]CMD_IIC_RD : RegAddr[0x350A], Data[0x12]"},
        {reg, "[0x1006]CMD_IIC_WR : RegAddr[0x350A], Data[0x12]"},
        {packet(RES_ACK, 0), "[0x100C]RES_ACK : Len[0]"},
        {packet(RES_ACK, 4, {255}), "[0x100C]RES_ACK : Len[4], Data[255 = 0xFF]"},
        {packet(RES_NAK, 4, {CMD_SET_CALIB_PARAMETER}), "[0x100D]RES_NAK : Len[4],Data[Invalid Command]"},
        {packet(RES_NAK, 4, {CMD_GET_EEPROM}), "[0x100D]RES_NAK : Len[4],Data[Invalid Command]"},
        {packet(RES_NAK, 4, {CMD_SEND_OPTION}), "[0x100D]RES_NAK : Len[4],Data[CMD_SEND_OPTION]"},
        {packet(0x1010, 3), "[0x1010]CMD_AC_BLACK_START : Len[3]"},
        {packet(0x1011, 4, {250}), "[0x1011]CMD_AC_WHITE_START : Len[4], Data[250]"},
        {packet(0x1012, 4, {300}), "[0x1012]CMD_AC_PATTERN_START : Len[4], Data[300]"},
        {img, "[0x1013]CMD_AC_SENDIMG : Len[2], Data[101, 7]"},
        {packet(0x1014, 0), "[0x1014]RES_AC_BLACK_END : Len[0]"},
        {packet(0x1015, 0), "[0x1015]RES_AC_WHITE_END : Len[0]"},
        {packet(0x1016, 0), "[0x1016]RES_AC_PATTERN_END : Len[0]"},
        {packet(0x1019, 1), "[0x1019]CMD_AC_PATTERN_CENTER : Len[1]"},
        {packet(0x101A, 2), "[0x101A]DAT_AC_PATTERN_CENTER : Len[2]"},
        {packet(0x101B, 3), "[0x101B]DAT_AC_CALIB_PARAMETER : Len[3]"},
        {packet(0x1104, 0), "[0x1104]CMD_MC_START : Len[0]"},
        {packet(0x1105, 0), "[0x1105]CMD_MC_END : Len[0]"},
        {packet(0x1106, 4, {0xAB}), "[0x1106]CMD_MC_CANCEL : Data[ab]"},
        {packet(0x1107, 4, {12}), "[0x1107]CMD_MC_PATTERN_START : Data[c]"},
        {packet(0x1108, 4, {3}), "[0x1108]RES_MC_PATTERN_DONE : Data[3]"},
        {packet(0x1109, 4, {16}), "[0x1109]RES_MC_PATTERN_END : Data[10]"},
        {packet(0x110A, 0), "[0x110A]CMD_MC_PATTERN_CENTER : Len[0]"},
        {packet(0x110D, 4, {1}), "[0x110D]CMD_SET_MONO_BIN : Data[1]"},
        {packet(0x110E, 0), "[0x110E]CMD_SETUP_ALIVE : Len[0]"},
        {packet(0x110F, 0), "[0x110F]CMD_START_TRACKING : Data[0]"},
        {packet(0x1110, 0), "[0x1110]CMD_STOP_TRACKING : Data[0]"},
        {finger, "[0x1112]CMD_SET_FINGER_TOUCH_MODE : Len[4], Data[1]"},
        {packet(0x1114, 4, {9}), "[0x1114]CMD_TC_DEBUG_SENDIMG : Len[4], Data[9]"},
        {packet(0x1117, 1, {2}), "[0x1117]CMD_SET_TRANSFER_MODE : Len[1], Data[2]"},
        {packet(0x1118, 0), "[0x1118]CMD_SEND_OPTION : Len[0]"},
        {opt, "[0x1119]DAT_OPTION : Len[4], Option[1, 0]"},
        {packet(0x111A, 0), "[0x111A]CMD_SET_SERIAL_NUMBER : Len[0]"},
        {packet(0x111B, 0), "[0x111B]CMD_CLEAR_EEPROM : Len[0]"},
        {packet(0x111C, 0), "[0x111C]CMD_GET_EEPROM : Len[0]"},
        {packet(0x111D, 400), "[0x111D]DAT_EEPROM : Len[400]"},
        {packet(0x111F, 0), "[0x111F]CMD_AC_RESULT_GENERATE : Len[0]"},
        {packet(0x1120, 0), "[0x1120]RES_AC_RESULT_GENERATE_END : Len[0]"},
        {packet(0x1121, 12, {101, 77, 78}), "[0x1121]CMD_AC_SENDIMG_PART : Len[12], Data[101, 77, 78]"},
        {packet(0x1122, 504), "[0x1122]DAT_AC_IMAGE_PART : Len[504]"},
        {packet(0x1123, 370), "[0x1123]CMD_SET_CALIB_PARAMETER : Len[370]"},
        {packet(0x1124, 0), "[0x1124]RES_AC_READY_END : Len[0]"},
        {packet(0x1125, 0), "[0x1125]CMD_MC_GET_INPUT_POINT : Data[0]"},
        {packet(0x1126, 200, {0x43700000}), "[0x1126]DAT_MC_INPUT_POINT : Data[43700000]"},
        {track, "[0x1127]CMD_SET_TRACKING_OPTION : Len[12], Option[1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12]"},
        {packet(0x1128, 4, {0}), "[0x1128]CMD_SET_IMAGE_REVERSE : Len[4], Data[0]"},
        {ratio, "[0x112A]CMD_SET_FIX_COORD_RATIO : Len[12], Data[1, 1.500000]"},
        {packet(0x112B, 12, {1, 2400, 1500}), "[0x112B]CMD_SEND_COORD : Len[12], Data[1, 2400, 1500]"},
        {packet(0x7777, 600), "[0x7777]Invalid Cmd : Len[600]"},
        {packet(0x1008, 504), "[0x1008]Invalid Cmd : Len[504]"},
        {packet(0x1129, 0), "[0x1129]Invalid Cmd : Len[0]"},
    };
    for (const TraceCase& c : cases)
        EXPECT_EQ(tracePacket(c.packet), c.expected);
}

TEST(PacketTraceTest, CodesWithoutALine) {
    for (std::uint32_t code :
         {0x1007u, 0x1009u, 0x1017u, 0x1018u, 0x1100u, 0x1101u, 0x1102u, 0x1103u, 0x110Cu, 0x1111u})
        EXPECT_EQ(tracePacket(packet(code, 0)), "") << std::hex << code;
    // An acknowledgement with a length other than 0 or 4 has no line either.
    EXPECT_EQ(tracePacket(packet(RES_ACK, 2)), "");
}

TEST(PacketTraceTest, LineStaysWithinItsBuffer) {
    DevicePacket p = packet(CMD_SET_FIX_COORD_RATIO, 12, {1});
    p.setF64(12, 1e300);
    const std::string line = tracePacket(p);
    EXPECT_LE(line.size(), 1023u);
    EXPECT_EQ(line.rfind("[0x112A]", 0), 0u);
}
