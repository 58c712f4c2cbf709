#include "device/CommandPackets.h"

#include "device/PacketCodes.h"

namespace CommandPackets {

DevicePacket plain(std::uint32_t code) {
    return DevicePacket::make(code);
}

DevicePacket words(std::uint32_t code, std::initializer_list<std::uint32_t> values) {
    DevicePacket p;
    p.setCode(code);
    int at = DevicePacket::headerSize;
    for (std::uint32_t v : values) {
        p.setU32(at, v);
        at += 4;
    }
    p.setLength(static_cast<std::uint32_t>(at - DevicePacket::headerSize));
    return p;
}

DevicePacket setTracking(bool on) {
    return plain(on ? CMD_START_TRACKING : CMD_STOP_TRACKING);
}

DevicePacket fixCoordRatio(int mode, double ratio) {
    DevicePacket p;
    p.setCode(CMD_SET_FIX_COORD_RATIO);
    p.setLength(12);
    p.setU32(8, static_cast<std::uint32_t>(mode));
    p.setF64(12, ratio);
    return p;
}

DevicePacket sendCoord(int a, int x, int y) {
    return words(CMD_SEND_COORD, {static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(x),
                                  static_cast<std::uint32_t>(y)});
}

DevicePacket blackCapture(int lens, int fwMinor) {
    std::uint8_t level = 0x80;
    if (lens == 3)
        level = fwMinor < 10 ? 0x60 : 0x40;
    else if (lens == 1)
        level = 0x70;
    const std::uint8_t bytes[3] = {0, 0, level};
    return DevicePacket::make(CMD_AC_BLACK_START, bytes, 3);
}

DevicePacket calibParameter(const CalibParameterRecord::Inputs& record) {
    const CalibParameterRecord::Bytes bytes = CalibParameterRecord::build(record);
    return DevicePacket::make(CMD_SET_CALIB_PARAMETER, bytes.data(), CalibParameterRecord::size);
}

DevicePacket registerWrite(std::uint16_t address, std::uint8_t value) {
    const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(address & 0xFF),
                                   static_cast<std::uint8_t>(address >> 8), value};
    return DevicePacket::make(CMD_IIC_WR, bytes, 3);
}

DevicePacket imageRequest(std::uint8_t imageId, std::uint8_t group) {
    const std::uint8_t bytes[2] = {imageId, group};
    return DevicePacket::make(CMD_AC_SENDIMG, bytes, 2);
}

DevicePacket partRequest(std::uint32_t imageId, std::uint32_t firstBlock, std::uint32_t lastBlock) {
    return words(CMD_AC_SENDIMG_PART, {imageId, firstBlock, lastBlock});
}

bool traced(std::uint32_t code) {
    return code != UNNAMED_1007 && code != CMD_LIVE_SENDIMG && code != CMD_SETUP_ALIVE;
}

} // namespace CommandPackets
