#include "calibration/TweakRecord.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {
std::int32_t readInt32(const unsigned char* p) {
    const std::uint32_t v = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                            (static_cast<std::uint32_t>(p[2]) << 16) |
                            (static_cast<std::uint32_t>(p[3]) << 24);
    std::int32_t result;
    std::memcpy(&result, &v, sizeof result);
    return result;
}

float readFloat32(const unsigned char* p) {
    const std::int32_t bits = readInt32(p);
    float result;
    std::memcpy(&result, &bits, sizeof result);
    return result;
}
} // namespace

TweakRecord TweakRecord::fromEeprom(const unsigned char* block) {
    TweakRecord record;
    if (!block)
        return record;
    const std::int32_t count = readInt32(block + 116);
    if (count < 0 || count > maxOffsets)
        return record;
    for (int i = 0; i < count; ++i) {
        const float x = readFloat32(block + 120 + 8 * i);
        const float y = readFloat32(block + 124 + 8 * i);
        if (!std::isfinite(x) || !std::isfinite(y))
            return TweakRecord();
        record.offsets[static_cast<size_t>(i)] = QPointF(static_cast<double>(x), static_cast<double>(y));
    }
    record.count = count;
    record.lens = block[327];
    return record;
}
