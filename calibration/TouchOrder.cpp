#include "calibration/TouchOrder.h"

namespace {

// Indexed by ceiling * 2 + rear.
constexpr int semiTables[4][TouchOrder::semiAutomaticCount] = {
    {0, 4, 8, 12, 16, 1, 5, 9, 13, 17, 2, 6, 10, 14, 18, 3, 7, 11, 15, 19},
    {16, 12, 8, 4, 0, 17, 13, 9, 5, 1, 18, 14, 10, 6, 2, 19, 15, 11, 7, 3},
    {19, 15, 11, 7, 3, 18, 14, 10, 6, 2, 17, 13, 9, 5, 1, 16, 12, 8, 4, 0},
    {3, 7, 11, 15, 19, 2, 6, 10, 14, 18, 1, 5, 9, 13, 17, 0, 4, 8, 12, 16},
};

constexpr int manualTables[4][TouchOrder::manualCount] = {
    {0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15},
    {12, 8, 4, 0, 13, 9, 5, 1, 14, 10, 6, 2, 15, 11, 7, 3},
    {15, 11, 7, 3, 14, 10, 6, 2, 13, 9, 5, 1, 12, 8, 4, 0},
    {3, 7, 11, 15, 2, 6, 10, 14, 1, 5, 9, 13, 0, 4, 8, 12},
};

} // namespace

const int* TouchOrder::slotTable(bool semiAutomatic, int ceiling, int rear, int count) {
    if ((ceiling != 0 && ceiling != 1) || (rear != 0 && rear != 1))
        return nullptr;
    const int index = ceiling * 2 + rear;
    if (semiAutomatic)
        return count >= 0 && count <= semiAutomaticCount ? semiTables[index] : nullptr;
    return count == manualCount ? manualTables[index] : nullptr;
}

const int* TouchOrder::windowTargetOrder(bool semiAutomatic, int count) {
    // The first table of each mode (no ceiling, no rear) is exactly the column-to-row renumbering.
    if (semiAutomatic)
        return count >= 0 && count <= semiAutomaticCount ? semiTables[0] : nullptr;
    return count == manualCount ? manualTables[0] : nullptr;
}
