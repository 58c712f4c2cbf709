#pragma once

#include <QPointF>
#include <array>

// The tuning offsets the module keeps from the last semi-automatic calibration: up to 25 camera
// pixel offsets and the lens type they were learned for.
struct TweakRecord {
    static constexpr int maxOffsets = 25;
    static constexpr int eepromSize = 400;

    int count = 0;
    std::array<QPointF, maxOffsets> offsets{};
    unsigned char lens = 0;

    // Reads the 400-byte stored block: count (int32 LE at 116), count float32 pairs from 120, lens
    // at 327. A block whose count lies outside 0..25 or whose offsets are not finite numbers is
    // not a usable record: the result is the empty record, so no stale or garbage offsets apply.
    static TweakRecord fromEeprom(const unsigned char* block);
};
