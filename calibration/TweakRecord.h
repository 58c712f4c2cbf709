#pragma once

#include "device/StoredTuningRecord.h"

#include <QPointF>
#include <array>

// The tuning offsets the module keeps from the last semi-automatic calibration: up to 25 camera
// pixel offsets and the lens type they were learned for.
struct TweakRecord {
    static constexpr int maxOffsets = StoredTuningRecord::maxOffsets;
    static constexpr int eepromSize = StoredTuningRecord::size;

    int count = 0;
    std::array<QPointF, maxOffsets> offsets{};
    unsigned char lens = 0;

    // Reads the module's 400-byte stored block; an unusable block gives the empty record, so no
    // stale or garbage offsets apply.
    static TweakRecord fromEeprom(const unsigned char* block);
};
