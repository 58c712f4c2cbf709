#include "calibration/CoordinateRatio.h"

#include <cmath>

constexpr int CoordinateRatio::targetX[2];
constexpr int CoordinateRatio::targetY[2];

CoordinateRatio::Correction CoordinateRatio::compute(QPoint first, QPoint second, int screenWidth,
                                                     int screenHeight) {
    if (screenWidth <= 0 || screenHeight <= 0)
        return {};
    const double w = screenWidth;
    const double h = screenHeight;
    const double x0 = first.x() / w * 4800.0;
    const double y0 = first.y() / h * 3000.0;
    const double x1 = second.x() / w * 4800.0;
    const double y1 = second.y() / h * 3000.0;

    const double dxDev = targetX[1] - targetX[0];
    const double dyDev = targetY[1] - targetY[0];
    const double dxMeas = x1 - x0;
    const double dyMeas = y1 - y0;
    // Touches that did not land in the order and direction they were sent in cannot measure a
    // ratio (and a zero spacing would divide by zero): leave the module's ratio as it is.
    if (dxMeas <= 0.0 || dyMeas <= 0.0)
        return {};

    bool xOff = std::fabs(dxMeas - dxDev) > 0.005 * dxDev;
    bool yOff = std::fabs(dyMeas - dyDev) > 0.005 * dyDev;
    if (xOff && yOff) {
        if (dxMeas / dxDev > dyMeas / dyDev)
            yOff = false;
        else
            xOff = false;
    }
    if (xOff)
        return {1, (w / h) * dxMeas / dxDev};
    if (yOff)
        return {2, (w / h) * dyDev / dyMeas};
    return {};
}
