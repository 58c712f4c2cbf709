// The coordinate-ratio check's arithmetic.
#include "calibration/CoordinateRatio.h"

#include <QSize>
#include <gtest/gtest.h>

namespace {
// Where a device point lands on a W x H screen when the module's ratio is right.
QPoint landing(double deviceX, double deviceY, int w, int h) {
    return QPoint(qRound(deviceX / 4800.0 * w), qRound(deviceY / 3000.0 * h));
}
} // namespace

TEST(CoordinateRatio, CorrectSpacingSendsModeZero) {
    for (auto size : {QSize(1920, 1080), QSize(1280, 800), QSize(4800, 3000)}) {
        const auto c = CoordinateRatio::compute(landing(1000, 1000, size.width(), size.height()),
                                                landing(3800, 2000, size.width(), size.height()),
                                                size.width(), size.height());
        EXPECT_EQ(c.mode, 0);
        EXPECT_EQ(c.ratio, 0.0);
    }
}

TEST(CoordinateRatio, WideXSpacingCorrectsX) {
    // 2900 units between the touches instead of 2800, y right.
    const auto c = CoordinateRatio::compute(QPoint(1000, 1000), QPoint(3900, 2000), 4800, 3000);
    EXPECT_EQ(c.mode, 1);
    EXPECT_DOUBLE_EQ(c.ratio, (4800.0 / 3000.0) * 2900.0 / 2800.0);
}

TEST(CoordinateRatio, ShortYSpacingCorrectsY) {
    const auto c = CoordinateRatio::compute(QPoint(1000, 1000), QPoint(3800, 1990), 4800, 3000);
    EXPECT_EQ(c.mode, 2);
    EXPECT_DOUBLE_EQ(c.ratio, (4800.0 / 3000.0) * 1000.0 / 990.0);
}

TEST(CoordinateRatio, TolerancesAreStrict) {
    // 14 units off in x and 5 in y are still right; one more is not.
    EXPECT_EQ(CoordinateRatio::compute(QPoint(1000, 1000), QPoint(3814, 2005), 4800, 3000).mode, 0);
    EXPECT_EQ(CoordinateRatio::compute(QPoint(1000, 1000), QPoint(3815, 2000), 4800, 3000).mode, 1);
    EXPECT_EQ(CoordinateRatio::compute(QPoint(1000, 1000), QPoint(3800, 2006), 4800, 3000).mode, 2);
}

TEST(CoordinateRatio, BothOffKeepsTheAxisWithTheLargerRelativeSpacing) {
    EXPECT_EQ(CoordinateRatio::compute(QPoint(1000, 1000), QPoint(3900, 2010), 4800, 3000).mode, 1);
    EXPECT_EQ(CoordinateRatio::compute(QPoint(1000, 1000), QPoint(3900, 2100), 4800, 3000).mode, 2);
    // Equal relative spacing chooses y.
    EXPECT_EQ(CoordinateRatio::compute(QPoint(1000, 1000), QPoint(3940, 2050), 4800, 3000).mode, 2);
}

TEST(CoordinateRatio, UnusableMeasurementsLeaveTheRatioAlone) {
    // Both touches on one spot, or in the wrong order: no division by zero, no negative ratio.
    EXPECT_EQ(CoordinateRatio::compute(QPoint(500, 500), QPoint(500, 500), 1920, 1080).mode, 0);
    EXPECT_EQ(CoordinateRatio::compute(QPoint(1500, 700), QPoint(400, 300), 1920, 1080).mode, 0);
    EXPECT_EQ(CoordinateRatio::compute(QPoint(400, 300), QPoint(1500, 300), 1920, 1080).mode, 0);
    EXPECT_EQ(CoordinateRatio::compute(QPoint(400, 300), QPoint(1500, 700), 0, 1080).mode, 0);
}

TEST(CoordinateRatio, GlobalOffsetOfTheCoveredDisplayCancelsOut) {
    const QPoint a = landing(1000, 1000, 1920, 1080) + QPoint(-1920, 0);
    const QPoint b = landing(3800, 2000, 1920, 1080) + QPoint(-1920, 0);
    EXPECT_EQ(CoordinateRatio::compute(a, b, 1920, 1080).mode, 0);
}
