#include "device/PacketTrace.h"

#include "device/DevicePacket.h"
#include "device/PacketCodes.h"

#include <cstdio>

Q_LOGGING_CATEGORY(lcDeviceTrace, "vexaro.device.trace", QtWarningMsg)

const char* commandName(std::uint32_t code) {
    switch (code) {
    case CMD_SENDVERSION:
        return "CMD_SENDVERSION";
    case DAT_VERSION:
        return "DAT_VERSION";
    case CMD_IIC_RD:
        return "CMD_IIC_RD";
    case CMD_IIC_WR:
        return "CMD_IIC_WR";
    case CMD_SENDPOS:
        return "CMD_SENDPOS";
    case DAT_TC_PACKET:
        return "DAT_TC_PACKET";
    case RES_ACK:
        return "RES_ACK";
    case RES_NAK:
        return "RES_NAK";
    case CMD_AC_BLACK_START:
        return "CMD_AC_BLACK_START";
    case CMD_AC_WHITE_START:
        return "CMD_AC_WHITE_START";
    case CMD_AC_PATTERN_START:
        return "CMD_AC_PATTERN_START";
    case CMD_AC_SENDIMG:
        return "CMD_AC_SENDIMG";
    case RES_AC_BLACK_END:
        return "RES_AC_BLACK_END";
    case RES_AC_WHITE_END:
        return "RES_AC_WHITE_END";
    case RES_AC_PATTERN_END:
        return "RES_AC_PATTERN_END";
    case DAT_AC_IMAGE:
        return "DAT_AC_IMAGE";
    case DAT_AC_IMGEND:
        return "DAT_AC_IMGEND";
    case CMD_AC_PATTERN_CENTER:
        return "CMD_AC_PATTERN_CENTER";
    case DAT_AC_PATTERN_CENTER:
        return "DAT_AC_PATTERN_CENTER";
    case DAT_AC_CALIB_PARAMETER:
        return "DAT_AC_CALIB_PARAMETER";
    case RES_AC_RESULT:
        return "RES_AC_RESULT";
    case CMD_ORRIN_START:
        return "CMD_ORRIN_START";
    case CMD_ORRIN_END:
        return "CMD_ORRIN_END";
    case CMD_ORRIN_ALIVE:
        return "CMD_ORRIN_ALIVE";
    case DAT_TC_CUSTOM_HID:
        return "DAT_TC_CUSTOM_HID";
    case CMD_MC_START:
        return "CMD_MC_START";
    case CMD_MC_END:
        return "CMD_MC_END";
    case CMD_MC_CANCEL:
        return "CMD_MC_CANCEL";
    case CMD_MC_PATTERN_START:
        return "CMD_MC_PATTERN_START";
    case RES_MC_PATTERN_END:
        return "RES_MC_PATTERN_END";
    case CMD_MC_PATTERN_CENTER:
        return "CMD_MC_PATTERN_CENTER";
    case RES_MC_RESULT:
        return "RES_MC_RESULT";
    case CMD_SETUP_ALIVE:
        return "CMD_SETUP_ALIVE";
    case CMD_START_TRACKING:
        return "CMD_START_TRACKING";
    case CMD_STOP_TRACKING:
        return "CMD_STOP_TRACKING";
    case CMD_TC_DEBUG_SENDIMG:
        return "CMD_TC_DEBUG_SENDIMG";
    case DAT_TC_IMAGE:
        return "DAT_TC_IMAGE";
    case DAT_TC_IMGEND:
        return "DAT_TC_IMGEND";
    case CMD_SET_TRANSFER_MODE:
        return "CMD_SET_TRANSFER_MODE";
    case CMD_SEND_OPTION:
        return "CMD_SEND_OPTION";
    case DAT_OPTION:
        return "DAT_OPTION";
    case CMD_MC_GET_INPUT_POINT:
        return "CMD_MC_GET_INPUT_POINT";
    case DAT_MC_INPUT_POINT:
        return "DAT_MC_INPUT_POINT";
    case CMD_SET_TRACKING_OPTION:
        return "CMD_SET_TRACKING_OPTION";
    default:
        return "Invalid Command";
    }
}

namespace {

// Most codes trace in one of four shapes; the others are written out in tracePacket.
enum class Shape { Len, DataHex, LenWord, LenByte };

struct SimpleTrace {
    std::uint32_t code;
    const char* name;
    Shape shape;
};

constexpr SimpleTrace simpleTraces[] = {
    {0x1003, "CMD_SENDVERSION", Shape::Len},
    {0x1010, "CMD_AC_BLACK_START", Shape::Len},
    {0x1011, "CMD_AC_WHITE_START", Shape::LenWord},
    {0x1012, "CMD_AC_PATTERN_START", Shape::LenWord},
    {0x1014, "RES_AC_BLACK_END", Shape::Len},
    {0x1015, "RES_AC_WHITE_END", Shape::Len},
    {0x1016, "RES_AC_PATTERN_END", Shape::Len},
    {0x1019, "CMD_AC_PATTERN_CENTER", Shape::Len},
    {0x101A, "DAT_AC_PATTERN_CENTER", Shape::Len},
    {0x101B, "DAT_AC_CALIB_PARAMETER", Shape::Len},
    {0x1104, "CMD_MC_START", Shape::Len},
    {0x1105, "CMD_MC_END", Shape::Len},
    {0x1106, "CMD_MC_CANCEL", Shape::DataHex},
    {0x1107, "CMD_MC_PATTERN_START", Shape::DataHex},
    {0x1108, "RES_MC_PATTERN_DONE", Shape::DataHex},
    {0x1109, "RES_MC_PATTERN_END", Shape::DataHex},
    {0x110A, "CMD_MC_PATTERN_CENTER", Shape::Len},
    {0x110D, "CMD_SET_MONO_BIN", Shape::DataHex},
    {0x110E, "CMD_SETUP_ALIVE", Shape::Len},
    {0x110F, "CMD_START_TRACKING", Shape::DataHex},
    {0x1110, "CMD_STOP_TRACKING", Shape::DataHex},
    {0x1112, "CMD_SET_FINGER_TOUCH_MODE", Shape::LenByte},
    {0x1114, "CMD_TC_DEBUG_SENDIMG", Shape::LenWord},
    {0x1117, "CMD_SET_TRANSFER_MODE", Shape::LenByte},
    {0x1118, "CMD_SEND_OPTION", Shape::Len},
    {0x111A, "CMD_SET_SERIAL_NUMBER", Shape::Len},
    {0x111B, "CMD_CLEAR_EEPROM", Shape::Len},
    {0x111C, "CMD_GET_EEPROM", Shape::Len},
    {0x111D, "DAT_EEPROM", Shape::Len},
    {0x111F, "CMD_AC_RESULT_GENERATE", Shape::Len},
    {0x1120, "RES_AC_RESULT_GENERATE_END", Shape::Len},
    {0x1122, "DAT_AC_IMAGE_PART", Shape::Len},
    {0x1123, "CMD_SET_CALIB_PARAMETER", Shape::Len},
    {0x1124, "RES_AC_READY_END", Shape::Len},
    {0x1125, "CMD_MC_GET_INPUT_POINT", Shape::DataHex},
    {0x1126, "DAT_MC_INPUT_POINT", Shape::DataHex},
    {0x1128, "CMD_SET_IMAGE_REVERSE", Shape::LenByte},
};

bool traceSimple(const DevicePacket& p, char* buf, std::size_t size) {
    const unsigned code = p.code();
    const int len = static_cast<int>(p.length());
    const unsigned a8 = p.u32(8);
    for (const SimpleTrace& t : simpleTraces) {
        if (t.code != code)
            continue;
        switch (t.shape) {
        case Shape::Len:
            std::snprintf(buf, size, "[0x%X]%s : Len[%d]", code, t.name, len);
            break;
        case Shape::DataHex:
            std::snprintf(buf, size, "[0x%X]%s : Data[%x]", code, t.name, a8);
            break;
        case Shape::LenWord:
            std::snprintf(buf, size, "[0x%X]%s : Len[%d], Data[%d]", code, t.name, len, static_cast<int>(a8));
            break;
        case Shape::LenByte:
            std::snprintf(buf, size, "[0x%X]%s : Len[%d], Data[%d]", code, t.name, len, p.u8(8));
            break;
        }
        return true;
    }
    return false;
}

} // namespace

// Every format is a literal, so the compiler checks each argument against it.
std::string tracePacket(const DevicePacket& p) {
    const unsigned code = p.code();
    const int len = static_cast<int>(p.length());
    const unsigned a8 = p.u32(8);
    // The fixed 1024-byte line buffer; snprintf bounds every format by it.
    char buf[1024] = {};
    if (traceSimple(p, buf, sizeof buf))
        return std::string(buf);
    switch (code) {
    case 0x1004:
        std::snprintf(buf, sizeof buf, "[0x%X]DAT_VERSION : Len[%d], Vers[%X.%X]", code, len, p.u8(8),
                      p.u8(9));
        break;
    case 0x1005:
        std::snprintf(buf, sizeof buf, "[0x%X]CMD_IIC_RD : RegAddr[0x%X], Data[0x%X]", code, p.u16(8),
                      p.u8(10));
        break;
    case 0x1006:
        std::snprintf(buf, sizeof buf, "[0x%X]CMD_IIC_WR : RegAddr[0x%X], Data[0x%X]", code, p.u16(8),
                      p.u8(10));
        break;
    case 0x100C:
        if (len == 0)
            std::snprintf(buf, sizeof buf, "[0x%X]RES_ACK : Len[%d]", code, len);
        else if (len == 4)
            std::snprintf(buf, sizeof buf, "[0x%X]RES_ACK : Len[%d], Data[%ld = 0x%lX]", code, len,
                          static_cast<long>(a8), static_cast<unsigned long>(a8));
        else
            return {};
        break;
    case 0x100D:
        std::snprintf(buf, sizeof buf, "[0x%X]RES_NAK : Len[%d],Data[%s]", code, len, commandName(a8));
        break;
    case 0x1013:
        std::snprintf(buf, sizeof buf, "[0x%X]CMD_AC_SENDIMG : Len[%d], Data[%d, %d]", code, len, p.u8(8),
                      p.u8(9));
        break;
    case 0x1119:
        std::snprintf(buf, sizeof buf, "[0x%X]DAT_OPTION : Len[%d], Option[%d, %d]", code, len, p.u8(8),
                      p.u8(9));
        break;
    case 0x1121:
        std::snprintf(buf, sizeof buf, "[0x%X]CMD_AC_SENDIMG_PART : Len[%d], Data[%d, %d, %d]", code, len,
                      static_cast<int>(a8), static_cast<int>(p.u32(12)), static_cast<int>(p.u32(16)));
        break;
    case 0x1127:
        std::snprintf(
            buf, sizeof buf,
            "[0x%X]CMD_SET_TRACKING_OPTION : Len[%d], Option[%d, %d, %d, %d, %d, %d, %d, %d, %d, %d, %d, %d]",
            code, len, p.u8(8), p.u8(9), p.u8(10), p.u8(11), p.u8(12), p.u8(13), p.u8(14), p.u8(15), p.u8(16),
            p.u8(17), p.u8(18), p.u8(19));
        break;
    case 0x112A:
        std::snprintf(buf, sizeof buf, "[0x%X]CMD_SET_FIX_COORD_RATIO : Len[%d], Data[%d, %f]", code, len,
                      static_cast<int>(a8), p.f64(12));
        break;
    case 0x112B:
        std::snprintf(buf, sizeof buf, "[0x%X]CMD_SEND_COORD : Len[%d], Data[%d, %d, %d]", code, len,
                      static_cast<int>(a8), static_cast<int>(p.u32(12)), static_cast<int>(p.u32(16)));
        break;
    case UNNAMED_1007:
    case 0x1009:
    case 0x1017:
    case 0x1018:
    case 0x1100:
    case 0x1101:
    case 0x1102:
    case 0x1103:
    case 0x110C:
    case 0x1111:
        return {};
    default:
        std::snprintf(buf, sizeof buf, "[0x%X]Invalid Cmd : Len[%d]", code, len);
        break;
    }
    return std::string(buf);
}

void logPacketTrace(const DevicePacket& packet) {
    if (!lcDeviceTrace().isDebugEnabled())
        return;
    const std::string line = tracePacket(packet);
    if (!line.empty())
        qCDebug(lcDeviceTrace).noquote() << QString::fromStdString(line);
}
