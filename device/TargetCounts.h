#pragma once

#include <atomic>

// Process-wide target counts, set at each calibration start from the lens type: 20 automatic and
// 16 manual targets for lens types 1 to 4, 0 and 0 otherwise. The receive thread reads them for
// its traces, hence atomic.
struct TargetCounts {
    static std::atomic<int> autoTargetCount;
    static std::atomic<int> manualTargetCount;

    static void setForLens(int lens);
};
