// The 400-byte block the module keeps (tuning offsets and their lens type): the decoded record is
// either empty or holds at most 25 finite offsets.
#include "FuzzSupport.h"

#include "calibration/TweakRecord.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The module always sends the whole block; shorter inputs are padded as a zeroed read would be.
    std::array<unsigned char, TweakRecord::eepromSize> block{};
    std::memcpy(block.data(), data, std::min(size, block.size()));
    const TweakRecord record = TweakRecord::fromEeprom(block.data());
    if (record.count < 0 || record.count > TweakRecord::maxOffsets)
        fuzz_support::fail("offset count outside 0..25");
    for (int i = 0; i < record.count; ++i) {
        const QPointF& p = record.offsets[static_cast<std::size_t>(i)];
        if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
            fuzz_support::fail("an offset is not a finite number");
    }
    return 0;
}
