#include "analysis/DrawnPattern.h"

#include "analysis/MarkerPass.h"

#include <cmath>

int DrawnPattern::nearest(double v) {
    return static_cast<int>(std::floor(v + 0.5));
}

int DrawnPattern::slotNumber(int row, int position, int ceiling, int rear) {
    const int plain = 5 * row + position;
    if (ceiling == 1 && rear == 0)
        return 19 - plain;
    if (ceiling == 1 && rear == 1)
        return 15 - 5 * row + position;
    if (ceiling == 0 && rear == 1)
        return 5 * row + 4 - position;
    return plain;
}

cv::Point2d DrawnPattern::elementCentre(int slot, double x, double y) {
    const int px = nearest(x);
    const int py = nearest(y);
    if (!MarkerPass::isMarkerTarget(slot))
        return {static_cast<double>(px), static_cast<double>(py)};
    // The centre of the six cells' span, whatever the cell size: first pixel plus (6m - 1) / 2.
    const int cell = 1;
    return {markerStart(px, cell) + (6.0 * cell - 1.0) / 2.0,
            markerStart(py, cell) + (6.0 * cell - 1.0) / 2.0};
}

DrawnPattern::Centres DrawnPattern::centres(const double* targetsXY, int width, int height, int ceiling,
                                            int rear) {
    return mirrored(targetsXY, width, height, ceiling, rear, true);
}

DrawnPattern::Centres DrawnPattern::pixelCentres(const double* targetsXY, int width, int height, int ceiling,
                                                 int rear) {
    return mirrored(targetsXY, width, height, ceiling, rear, false);
}

DrawnPattern::Centres DrawnPattern::mirrored(const double* targetsXY, int width, int height, int ceiling,
                                             int rear, bool elements) {
    // Ceiling mounting turns both axes, rear projection mirrors X once more.
    const bool flipX = (ceiling == 1) != (rear == 1);
    const bool flipY = ceiling == 1;
    Centres out{};
    for (int row = 0; row < 4; ++row) {
        for (int position = 0; position < 5; ++position) {
            const int at = 5 * row + position;
            const int slot = slotNumber(row, position, ceiling, rear);
            const double x = targetsXY[2 * at], y = targetsXY[2 * at + 1];
            cv::Point2d c =
                elements ? elementCentre(slot, x, y)
                         : cv::Point2d(static_cast<double>(nearest(x)), static_cast<double>(nearest(y)));
            if (flipX)
                c.x = width - 1.0 - c.x;
            if (flipY)
                c.y = height - 1.0 - c.y;
            out[static_cast<size_t>(slot)] = c;
        }
    }
    return out;
}
