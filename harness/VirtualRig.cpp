#include "harness/VirtualRig.h"

#include "analysis/DefaultTweakTables.h"
#include "analysis/MarkerPass.h"
#include "calibration/PatternGeometry.h"
#include "sim/VirtualCamera.h"

#include <algorithm>

namespace {

// Index of the interval of sorted positions that holds v, and the fraction within it (clamped,
// so the field is flat beyond the outer targets).
void locate(const double* positions, int count, double v, int& index, double& fraction) {
    index = 0;
    while (index < count - 2 && v > positions[index + 1])
        ++index;
    const double span = positions[index + 1] - positions[index];
    fraction = span > 0.0 ? std::clamp((v - positions[index]) / span, 0.0, 1.0) : 0.0;
}

} // namespace

MappingModel VirtualRig::uprightModel() const {
    return VirtualScene::groundTruth(screenWidth, screenHeight, lens, fwMinor, pose);
}

MappingModel VirtualRig::mountedModel() const {
    return VirtualScene::mounted(uprightModel(), screenWidth, screenHeight, ceiling, rear);
}

void VirtualRig::toPatternFrame(double x, double y, double& px, double& py) const {
    px = x;
    py = y;
    if (ceiling) {
        px = screenWidth - 1 - px;
        py = screenHeight - 1 - py;
    }
    if (rear)
        px = screenWidth - 1 - px;
}

void VirtualRig::penOffset(double patternX, double patternY, double& dx, double& dy) const {
    // A pen of the kind the factory tables were measured with is seen off its tip by exactly those
    // offsets at the targets; in between the offset varies smoothly.
    const auto targets = PatternGeometry::automaticTargets(screenWidth, screenHeight);
    const double columns[5] = {targets[0].x(), targets[1].x(), targets[2].x(), targets[3].x(),
                               targets[4].x()};
    const double rows[4] = {targets[0].y(), targets[5].y(), targets[10].y(), targets[15].y()};
    int c = 0;
    int r = 0;
    double fx = 0.0;
    double fy = 0.0;
    locate(columns, 5, patternX, c, fx);
    locate(rows, 4, patternY, r, fy);
    const DefaultTweakTables::Table& table = DefaultTweakTables::forLens(lens, fwMinor);
    // The factory tables were measured as touched minus detected position. A marker is detected
    // where it is drawn: its 6 x 6 cells span x - 3m .. x + 3m - 1, so its centre lies half a
    // pixel up and left of its target on the physical screen. At a marker target the pen is
    // therefore seen at the table's offset from that drawn centre, not from the target itself.
    std::array<double, 20> fieldX = table.x;
    std::array<double, 20> fieldY = table.y;
    const MappingModel toPhysical = mountedModel();
    for (int k = 0; k < 20; ++k) {
        if (!MarkerPass::isMarkerTarget(k))
            continue;
        double x = 0.0, y = 0.0;
        toPatternFrame(targets[static_cast<size_t>(k)].x(), targets[static_cast<size_t>(k)].y(), x, y);
        double cx = 0.0, cy = 0.0, dx0 = 0.0, dy0 = 0.0;
        if (VirtualCamera::screenToCamera(toPhysical, x, y, cx, cy) &&
            VirtualCamera::screenToCamera(toPhysical, x - 0.5, y - 0.5, dx0, dy0)) {
            fieldX[static_cast<size_t>(k)] += dx0 - cx;
            fieldY[static_cast<size_t>(k)] += dy0 - cy;
        }
    }
    auto at = [&](const std::array<double, 20>& values, int row, int column) {
        return values[static_cast<size_t>(5 * row + column)];
    };
    auto blend = [&](const std::array<double, 20>& v) {
        const double top = at(v, r, c) * (1 - fx) + at(v, r, c + 1) * fx;
        const double bottom = at(v, r + 1, c) * (1 - fx) + at(v, r + 1, c + 1) * fx;
        return top * (1 - fy) + bottom * fy;
    };
    dx = blend(fieldX);
    dy = blend(fieldY);
    if (parallax != 0.0) {
        // A pen held at another angle or with a longer tip: a further offset that grows across the
        // screen, a few camera pixels in size.
        const double u = patternX / screenWidth - 0.5;
        const double v = patternY / screenHeight - 0.5;
        dx += parallax * (1.8 + 2.4 * u);
        dy += parallax * (-1.2 + 1.6 * v);
    }
}

bool VirtualRig::penCameraPoint(double x, double y, double& cameraX, double& cameraY) const {
    if (!VirtualCamera::screenToCamera(mountedModel(), x, y, cameraX, cameraY))
        return false;
    double px = 0.0;
    double py = 0.0;
    toPatternFrame(x, y, px, py);
    double dx = 0.0;
    double dy = 0.0;
    penOffset(px, py, dx, dy);
    cameraX += dx;
    cameraY += dy;
    return true;
}
