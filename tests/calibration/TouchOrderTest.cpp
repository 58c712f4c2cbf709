// Reordering touched points into the analysis' target order.
#include "calibration/TouchOrder.h"
#include "calibration/PatternGeometry.h"

#include <gtest/gtest.h>
#include <set>

TEST(TouchOrder, EveryTableIsAPermutation) {
    for (bool semi : {false, true}) {
        const int n = semi ? 20 : 16;
        for (int ceiling = 0; ceiling < 2; ++ceiling) {
            for (int rear = 0; rear < 2; ++rear) {
                const int* table = TouchOrder::slotTable(semi, ceiling, rear, n);
                ASSERT_NE(table, nullptr);
                std::set<int> seen(table, table + n);
                EXPECT_EQ(static_cast<int>(seen.size()), n);
                EXPECT_EQ(*seen.begin(), 0);
                EXPECT_EQ(*seen.rbegin(), n - 1);
            }
        }
    }
}

TEST(TouchOrder, ManualFirstRowComesFromSlots0_4_8_12) {
    const int* table = TouchOrder::slotTable(false, 0, 0, 16);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[1], 4);
    EXPECT_EQ(table[2], 8);
    EXPECT_EQ(table[3], 12);
}

TEST(TouchOrder, NoTableForUnknownFlagsOrCounts) {
    EXPECT_EQ(TouchOrder::slotTable(false, 2, 0, 16), nullptr);
    EXPECT_EQ(TouchOrder::slotTable(true, 0, -1, 20), nullptr);
    EXPECT_EQ(TouchOrder::slotTable(false, 0, 0, 20), nullptr);
    EXPECT_EQ(TouchOrder::slotTable(false, 0, 0, 0), nullptr);
    EXPECT_EQ(TouchOrder::slotTable(true, 0, 0, 21), nullptr);
}

TEST(TouchOrder, WindowNumberingBecomesRowOrder) {
    // Analysis target i must be the window's target in row i / 5, column i % 5.
    const auto byColumn = PatternGeometry::semiAutomaticTargets(1920, 1080);
    const auto byRow = PatternGeometry::automaticTargets(1920, 1080);
    const int* order = TouchOrder::windowTargetOrder(true, 20);
    ASSERT_NE(order, nullptr);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(byColumn[static_cast<size_t>(order[i])], byRow[static_cast<size_t>(i)]) << i;

    const auto manual = PatternGeometry::manualTargets(1280, 800);
    const int* manualOrder = TouchOrder::windowTargetOrder(false, 16);
    ASSERT_NE(manualOrder, nullptr);
    for (int i = 0; i < 16; ++i) {
        const QPointF p = manual[static_cast<size_t>(manualOrder[i])];
        const QPointF rowStart = manual[static_cast<size_t>(manualOrder[(i / 4) * 4])];
        EXPECT_DOUBLE_EQ(p.y(), rowStart.y()) << "targets of one analysis row share a y";
        if (i % 4) {
            EXPECT_GT(p.x(), manual[static_cast<size_t>(manualOrder[i - 1])].x());
        }
    }
}
