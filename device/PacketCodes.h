#pragma once

#include <cstdint>

// Every packet code of the module protocol. CMD_ codes are requests from the tool, RES_ codes
// responses and progress events from the module, DAT_ codes carry data.
enum PacketCode : std::uint32_t {
    CMD_SENDVERSION = 0x1003,
    DAT_VERSION = 0x1004,
    CMD_IIC_RD = 0x1005,
    CMD_IIC_WR = 0x1006,
    UNNAMED_1007 = 0x1007, // never sent; listed among the codes a send does not trace
    DAT_LIVE_IMAGE = 0x1008,
    DAT_LIVE_IMGEND = 0x1009,
    CMD_SENDPOS = 0x100A,
    DAT_TC_PACKET = 0x100B,
    RES_ACK = 0x100C,
    RES_NAK = 0x100D,
    CMD_AC_BLACK_START = 0x1010,
    CMD_AC_WHITE_START = 0x1011,
    CMD_AC_PATTERN_START = 0x1012,
    CMD_AC_SENDIMG = 0x1013,
    RES_AC_BLACK_END = 0x1014,
    RES_AC_WHITE_END = 0x1015,
    RES_AC_PATTERN_END = 0x1016,
    DAT_AC_IMAGE = 0x1017,
    DAT_AC_IMGEND = 0x1018,
    CMD_AC_PATTERN_CENTER = 0x1019,
    DAT_AC_PATTERN_CENTER = 0x101A,
    DAT_AC_CALIB_PARAMETER = 0x101B,
    RES_AC_RESULT = 0x1020,
    CMD_ORRIN_START = 0x1100,
    CMD_ORRIN_END = 0x1101,
    CMD_ORRIN_ALIVE = 0x1102,
    DAT_TC_CUSTOM_HID = 0x1103,
    CMD_MC_START = 0x1104,
    CMD_MC_END = 0x1105,
    CMD_MC_CANCEL = 0x1106,
    CMD_MC_PATTERN_START = 0x1107,
    RES_MC_PATTERN_DONE = 0x1108,
    RES_MC_PATTERN_END = 0x1109,
    CMD_MC_PATTERN_CENTER = 0x110A,
    RES_MC_RESULT = 0x110B,
    CMD_LIVE_SENDIMG = 0x110C,
    CMD_SET_MONO_BIN = 0x110D,
    CMD_SETUP_ALIVE = 0x110E,
    CMD_START_TRACKING = 0x110F,
    CMD_STOP_TRACKING = 0x1110,
    UNNAMED_1111 = 0x1111, // sent by the module, ignored without trace
    CMD_SET_FINGER_TOUCH_MODE = 0x1112,
    CMD_TC_DEBUG_SENDIMG = 0x1114,
    DAT_TC_IMAGE = 0x1115,
    DAT_TC_IMGEND = 0x1116,
    CMD_SET_TRANSFER_MODE = 0x1117,
    CMD_SEND_OPTION = 0x1118,
    DAT_OPTION = 0x1119,
    CMD_SET_SERIAL_NUMBER = 0x111A,
    CMD_CLEAR_EEPROM = 0x111B,
    CMD_GET_EEPROM = 0x111C,
    DAT_EEPROM = 0x111D,
    CMD_AC_RESULT_GENERATE = 0x111F,
    RES_AC_RESULT_GENERATE_END = 0x1120,
    CMD_AC_SENDIMG_PART = 0x1121,
    DAT_AC_IMAGE_PART = 0x1122,
    CMD_SET_CALIB_PARAMETER = 0x1123,
    RES_AC_READY_END = 0x1124,
    CMD_MC_GET_INPUT_POINT = 0x1125,
    DAT_MC_INPUT_POINT = 0x1126,
    CMD_SET_TRACKING_OPTION = 0x1127,
    CMD_SET_IMAGE_REVERSE = 0x1128,
    DAT_AC_PART_END = 0x1129,
    CMD_SET_FIX_COORD_RATIO = 0x112A,
    CMD_SEND_COORD = 0x112B,
};

// The images of an automatic calibration, by the id that CMD_AC_SENDIMG asks for them with.
namespace AcImageId {
constexpr std::uint8_t black = 101;
constexpr std::uint8_t white = 102;
constexpr std::uint8_t pattern = 103;
} // namespace AcImageId

// Identity and pipes of the module.
namespace ModuleUsb {
constexpr std::uint16_t vendorId = 0x16D0;
constexpr std::uint16_t productId = 0x0F8C;
constexpr std::uint16_t hidUsagePage = 0xFF00;
constexpr int firstInterface = 2;
constexpr int secondInterface = 3;
constexpr unsigned char writeEndpoint = 0x03;
constexpr unsigned char replyEndpoint = 0x83;
constexpr unsigned char liveEndpoint = 0x84;
constexpr unsigned int writeTimeoutMs = 1000;
constexpr unsigned int readTimeoutMs = 500;
// Live reads end sooner when idle, so closing the alignment view never waits long for a stop to be
// seen; between frames the live endpoint is quiet anyway.
constexpr unsigned int liveReadTimeoutMs = 100;
constexpr unsigned int drainTimeoutMs = 1000;
} // namespace ModuleUsb
