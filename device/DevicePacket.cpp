#include "device/DevicePacket.h"

#include <algorithm>
#include <cstring>

DevicePacket DevicePacket::make(std::uint32_t code, const void* payload, int length) {
    DevicePacket p;
    p.setCode(code);
    const int n = std::clamp(length, 0, maxPayload);
    p.setLength(static_cast<std::uint32_t>(n));
    if (payload && n > 0)
        std::memcpy(p.bytes.data() + headerSize, payload, static_cast<std::size_t>(n));
    return p;
}

std::uint8_t DevicePacket::u8(int offset) const {
    return fits(offset, 1) ? bytes[static_cast<std::size_t>(offset)] : 0;
}

std::uint16_t DevicePacket::u16(int offset) const {
    if (!fits(offset, 2))
        return 0;
    const auto* b = bytes.data() + offset;
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t DevicePacket::u32(int offset) const {
    if (!fits(offset, 4))
        return 0;
    const auto* b = bytes.data() + offset;
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

// Floats travel in the host's byte order; every supported host is little-endian, as the wire is.
float DevicePacket::f32(int offset) const {
    float v = 0.0f;
    if (fits(offset, 4))
        std::memcpy(&v, bytes.data() + offset, 4);
    return v;
}

double DevicePacket::f64(int offset) const {
    double v = 0.0;
    if (fits(offset, 8))
        std::memcpy(&v, bytes.data() + offset, 8);
    return v;
}

void DevicePacket::setU8(int offset, std::uint8_t value) {
    if (fits(offset, 1))
        bytes[static_cast<std::size_t>(offset)] = value;
}

void DevicePacket::setU16(int offset, std::uint16_t value) {
    setU8(offset, static_cast<std::uint8_t>(value & 0xFF));
    setU8(offset + 1, static_cast<std::uint8_t>(value >> 8));
}

void DevicePacket::setU32(int offset, std::uint32_t value) {
    if (!fits(offset, 4))
        return;
    for (int i = 0; i < 4; ++i)
        bytes[static_cast<std::size_t>(offset + i)] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
}

void DevicePacket::setF32(int offset, float value) {
    if (fits(offset, 4))
        std::memcpy(bytes.data() + offset, &value, 4);
}

void DevicePacket::setF64(int offset, double value) {
    if (fits(offset, 8))
        std::memcpy(bytes.data() + offset, &value, 8);
}
