#include "calibration/PatternGeometry.h"

#include "analysis/DrawnPattern.h"
#include "analysis/MarkerPass.h"

#include <algorithm>
#include <cmath>

int PatternGeometry::nearest(double v) {
    return DrawnPattern::nearest(v);
}

int PatternGeometry::discRadius(int width, int height) {
    return std::max(nearest(width * 50.0 / 1280.0), nearest(height * 50.0 / 800.0));
}

double PatternGeometry::margin(int width, int height) {
    if (static_cast<long long>(width) * 800 == static_cast<long long>(height) * 1280)
        return width * 70.0 / 1280.0;
    const int radius = discRadius(width, height);
    if (width <= 1280)
        return radius + 10.0;
    return width * 20.0 / 1280.0 + radius;
}

PatternGeometry::AutomaticTargets PatternGeometry::automaticTargets(int width, int height) {
    const double d = margin(width, height);
    const double sx = width - 1 - 2 * d;
    const double sy = height - 1 - 2 * d;
    const double columns[5] = {d, d + sx / 3.0, static_cast<double>(width / 2), d + 2.0 * sx / 3.0, d + sx};
    AutomaticTargets targets;
    for (int row = 0; row < 4; ++row) {
        const double y = d + row * sy / 3.0;
        for (int column = 0; column < 5; ++column)
            targets[5 * row + column] = QPointF(nearest(columns[column]), nearest(y));
    }
    return targets;
}

PatternGeometry::AutomaticTargets PatternGeometry::semiAutomaticTargets(int width, int height) {
    const AutomaticTargets byRow = automaticTargets(width, height);
    AutomaticTargets byColumn;
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 5; ++column)
            byColumn[4 * column + row] = byRow[5 * row + column];
    }
    return byColumn;
}

PatternGeometry::ManualTargets PatternGeometry::manualTargets(int width, int height) {
    const double d = margin(width, height);
    const double sx = width - 1 - 2 * d;
    const double sy = height - 1 - 2 * d;
    ManualTargets targets;
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row)
            targets[4 * column + row] = QPointF((column * sx + 1) / 3.0 + d, (row * sy + 1) / 3.0 + d);
    }
    return targets;
}

int PatternGeometry::slotNumber(int row, int position, int ceiling, int rear) {
    return DrawnPattern::slotNumber(row, position, ceiling, rear);
}

int PatternGeometry::markerCellSize(int radius) {
    return MarkerPass::cellSize(radius);
}

bool PatternGeometry::isMarkerSlot(int slot) {
    // The slots drawn as markers are the analysis' marker targets: marker id = slot number.
    return MarkerPass::isMarkerTarget(slot);
}

PatternGeometry::MarkerCells PatternGeometry::markerCells(int id) {
    // Rows top to bottom, 'B' black, 'W' white.
    struct Marker {
        int id;
        const char* rows[4];
    };
    static const Marker markers[] = {
        {6, {"WBWW", "BBWW", "BWBW", "WBBB"}},  {7, {"WWWB", "BWWW", "BWBB", "BWBW"}},
        {8, {"WWWW", "WWWB", "BWBW", "WBBW"}},  {11, {"WWWW", "BBBB", "WBWB", "WBWW"}},
        {12, {"BBBB", "WWBW", "WBBB", "BWBB"}}, {13, {"BWBB", "BWWW", "BBWW", "BWWB"}},
        {16, {"BBBB", "WBBW", "BBWW", "WWBB"}}, {17, {"WBBW", "BBWW", "WBWW", "BWBB"}},
        {18, {"WBWB", "BWBW", "BBBB", "BBWW"}},
    };
    MarkerCells cells{};
    for (const Marker& marker : markers) {
        if (marker.id != id)
            continue;
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c)
                cells[r][c] = marker.rows[r][c] == 'B';
        }
    }
    return cells;
}
