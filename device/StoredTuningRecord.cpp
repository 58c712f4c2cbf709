#include "device/StoredTuningRecord.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
template <typename T>
T getRaw(const std::uint8_t* at) {
    // Every supported host is little-endian, as the block is.
    T v;
    std::memcpy(&v, at, sizeof v);
    return v;
}
} // namespace

StoredTuningRecord::Content StoredTuningRecord::parse(const std::uint8_t* block) {
    Content content;
    if (!block)
        return content;
    const auto count = getRaw<std::int32_t>(block + Offset::tweakCount);
    if (count < 0 || count > maxOffsets)
        return content;
    for (int i = 0; i < 2 * count; ++i) {
        const float v = getRaw<float>(block + Offset::tweakOffsets + 4 * i);
        if (!std::isfinite(v))
            return Content();
        content.offsets[static_cast<std::size_t>(i)] = v;
    }
    content.count = count;
    content.lens = block[Offset::lens];
    return content;
}

void StoredTuningRecord::writeTweaks(Bytes& block, int count, const float* pairs) {
    const std::int32_t n = pairs ? std::clamp(count, 0, maxOffsets) : 0;
    std::memset(block.data() + Offset::tweakCount, 0, 4 + 8 * maxOffsets);
    std::memcpy(block.data() + Offset::tweakCount, &n, sizeof n);
    if (n > 0)
        std::memcpy(block.data() + Offset::tweakOffsets, pairs, static_cast<std::size_t>(n) * 8);
}

void StoredTuningRecord::writeLens(Bytes& block, std::uint8_t lens) {
    block[Offset::lens] = lens;
}
