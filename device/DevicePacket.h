#pragma once

#include <array>
#include <cstdint>

// One 512-byte packet of the module protocol, either direction: uint32 code at 0, uint32 payload
// length at 4, up to 504 payload bytes from 8, all little-endian. Readers are bounded: a field that
// would reach past the packet reads as zero, so packets from the module can be parsed safely.
class DevicePacket {
public:
    static constexpr int size = 512;
    static constexpr int headerSize = 8;
    static constexpr int maxPayload = size - headerSize;

    DevicePacket() = default;
    // A zero-filled packet with the code, the length and a copy of the payload (cut at 504 bytes).
    static DevicePacket make(std::uint32_t code, const void* payload = nullptr, int length = 0);

    std::uint32_t code() const { return u32(0); }
    std::uint32_t length() const { return u32(4); }

    std::uint8_t u8(int offset) const;
    std::uint16_t u16(int offset) const;
    std::uint32_t u32(int offset) const;
    float f32(int offset) const;
    double f64(int offset) const;

    void setCode(std::uint32_t code) { setU32(0, code); }
    void setLength(std::uint32_t length) { setU32(4, length); }
    void setU8(int offset, std::uint8_t value);
    void setU16(int offset, std::uint16_t value);
    void setU32(int offset, std::uint32_t value);
    void setF32(int offset, float value);
    void setF64(int offset, double value);

    std::uint8_t* data() { return bytes.data(); }
    const std::uint8_t* data() const { return bytes.data(); }
    void clear() { bytes.fill(0); }

private:
    static bool fits(int offset, int width) { return offset >= 0 && offset + width <= size; }

    std::array<std::uint8_t, size> bytes{};
};
