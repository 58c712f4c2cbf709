// Target positions and sizes of the calibration pattern.
#include "calibration/PatternGeometry.h"
#include "calibration/PatternPainter.h"

#include <gtest/gtest.h>

TEST(PatternGeometry, SixteenByTenDisplayUsesTheFixedMargin) {
    EXPECT_EQ(PatternGeometry::discRadius(1280, 800), 50);
    EXPECT_DOUBLE_EQ(PatternGeometry::margin(1280, 800), 70.0);
    const auto t = PatternGeometry::automaticTargets(1280, 800);
    const double xs[] = {70, 450, 640, 829, 1209};
    const double ys[] = {70, 290, 509, 729};
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 5; ++col) {
            EXPECT_EQ(t[static_cast<size_t>(5 * row + col)], QPointF(xs[col], ys[row])) << row << "," << col;
        }
    }
}

TEST(PatternGeometry, WideAndSmallDisplays) {
    EXPECT_EQ(PatternGeometry::discRadius(1920, 1080), 75);
    EXPECT_DOUBLE_EQ(PatternGeometry::margin(1920, 1080), 105.0);
    EXPECT_EQ(PatternGeometry::markerCellSize(75), 25);
    EXPECT_EQ(PatternGeometry::discRadius(1024, 768), 48);
    EXPECT_DOUBLE_EQ(PatternGeometry::margin(1024, 768), 58.0);
}

TEST(PatternGeometry, NearestRoundsHalvesUp) {
    EXPECT_EQ(PatternGeometry::nearest(2.5), 3);
    EXPECT_EQ(PatternGeometry::nearest(-2.5), -2);
    EXPECT_EQ(PatternGeometry::nearest(-2.6), -3);
    EXPECT_EQ(PatternGeometry::nearest(449.67), 450);
}

TEST(PatternGeometry, SlotNumberingFollowsTheMounting) {
    EXPECT_EQ(PatternGeometry::slotNumber(1, 1, 0, 0), 6);
    EXPECT_EQ(PatternGeometry::slotNumber(1, 1, 1, 0), 13);
    EXPECT_EQ(PatternGeometry::slotNumber(1, 1, 1, 1), 11);
    EXPECT_EQ(PatternGeometry::slotNumber(1, 1, 0, 1), 8);
    int markers = 0;
    for (int slot = 0; slot < 20; ++slot)
        markers += PatternGeometry::isMarkerSlot(slot) ? 1 : 0;
    EXPECT_EQ(markers, 9);
}

TEST(PatternGeometry, RearMountingMirrorsTheMarker) {
    // Marker 6 sits at row 1, position 1 normally; with rear projection slot 6 moves to position 3
    // and its cells are drawn mirrored left to right.
    const int w = 1280, h = 800;
    const QImage plain = PatternPainter::render(w, h, 0, 0);
    const QImage rear = PatternPainter::render(w, h, 0, 1);
    const auto t = PatternGeometry::automaticTargets(w, h);
    const int m = PatternGeometry::markerCellSize(PatternGeometry::discRadius(w, h));
    const QPoint a = t[6].toPoint(), b = t[8].toPoint();
    for (int row = 0; row < 6; ++row) {
        for (int col = 0; col < 6; ++col) {
            const QPoint inPlain(a.x() - 3 * m + col * m + m / 2, a.y() - 3 * m + row * m + m / 2);
            const QPoint inRear(b.x() - 3 * m + (5 - col) * m + m / 2, b.y() - 3 * m + row * m + m / 2);
            EXPECT_EQ(qGray(plain.pixel(inPlain)), qGray(rear.pixel(inRear))) << row << "," << col;
        }
    }
}
