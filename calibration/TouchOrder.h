#pragma once

#include <array>

// How the module's list of touched points (25 slots, as the module reports them) turns into the
// analysis' target order, by calibration mode and mounting; and how the window's column-by-column
// target numbering turns into the analysis' row-by-row order.
class TouchOrder {
public:
    static constexpr int semiAutomaticCount = 20;
    static constexpr int manualCount = 16;

    // Module slot that becomes analysis point i, for i below count; nullptr when no table applies
    // (a flag other than 0 or 1, or a count the table does not have).
    static const int* slotTable(bool semiAutomatic, int ceiling, int rear, int count);
    // Window target number that becomes analysis target i (row-by-row order), for i below count;
    // nullptr when the count does not match the mode.
    static const int* windowTargetOrder(bool semiAutomatic, int count);
};
