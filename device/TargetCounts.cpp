#include "device/TargetCounts.h"

std::atomic<int> TargetCounts::autoTargetCount{0};
std::atomic<int> TargetCounts::manualTargetCount{0};

void TargetCounts::setForLens(int lens) {
    const bool known = lens >= 1 && lens <= 4;
    autoTargetCount.store(known ? 20 : 0);
    manualTargetCount.store(known ? 16 : 0);
}
