#pragma once

#include <array>
#include <cstdint>

// The 400-byte block the module keeps across runs and sends with DAT_EEPROM: the tweak offsets of
// the last semi-automatic calibration and the lens type they were learned for. The one definition
// of its layout: the tool reads it here and the simulated module writes it here.
class StoredTuningRecord {
public:
    static constexpr int size = 400;
    static constexpr int maxOffsets = 25;
    using Bytes = std::array<std::uint8_t, size>;

    struct Offset {
        static constexpr int tweakCount = 116;   // int32
        static constexpr int tweakOffsets = 120; // up to 25 float32 (x, y) pairs
        static constexpr int lens = 327;
    };

    struct Content {
        int count = 0; // 0 to 25
        std::array<float, 2 * maxOffsets> offsets{};
        std::uint8_t lens = 0;
    };

    // Reads a block of size bytes. A block whose count lies outside 0..25 or whose offsets are not
    // finite numbers is not a usable record: the result is the empty content, so no stale or
    // garbage offsets apply.
    static Content parse(const std::uint8_t* block);
    // Replaces the offsets with the first count pairs (at most 25); the rest of the area is zeroed.
    static void writeTweaks(Bytes& block, int count, const float* pairs);
    static void writeLens(Bytes& block, std::uint8_t lens);
};
