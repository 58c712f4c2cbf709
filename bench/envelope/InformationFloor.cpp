#include "InformationFloor.h"

#include "analysis/DrawnPattern.h"
#include "analysis/MarkerPass.h"
#include "calibration/PatternGeometry.h"

#include <algorithm>
#include <cmath>

namespace {

// Camera pixels from the element's centre to beyond its softened edges.
double reachInCamera(const MappingModel& physical, const cv::Point2d& drawn, double cx, double cy,
                     double screenReach, double blur) {
    double reach = 0.0;
    for (int k = 0; k < 8; ++k) {
        const double angle = k * 3.14159265358979 / 4.0;
        double x = 0.0, y = 0.0;
        if (VirtualCamera::screenToCamera(physical, drawn.x + screenReach * std::cos(angle),
                                          drawn.y + screenReach * std::sin(angle), x, y))
            reach = std::max(reach, std::hypot(x - cx, y - cy));
    }
    return reach + 3.0 * blur + 2.0;
}

} // namespace

InformationFloor::InformationFloor(const VirtualCamera& camera, int width, int height, bool ceiling,
                                   bool rear, const QImage& white, const QImage& pattern,
                                   const VirtualPhotometry& light) {
    const MappingModel& physical = camera.model();
    VirtualPhotometry clean = light;
    clean.exposure = 1.0;
    // The element's own light: what it takes away from the white screen. Its gradient is how the
    // frame changes as the element moves (the screen around it does not move).
    cv::Mat element = camera.renderRadiance(white, clean) - camera.renderRadiance(pattern, clean);
    // The sensor's noise and its 8 bits' rounding.
    const double noise = light.noiseSigma * light.noiseSigma + 1.0 / 12.0;
    const int radius = PatternGeometry::discRadius(width, height);
    const PatternGeometry::AutomaticTargets targets = PatternGeometry::automaticTargets(width, height);
    for (int row = 0; row < 4; ++row) {
        for (int position = 0; position < 5; ++position) {
            const int slot = PatternGeometry::slotNumber(row, position, ceiling ? 1 : 0, rear ? 1 : 0);
            const size_t k = static_cast<size_t>(slot);
            const QPointF& at = targets[static_cast<size_t>(5 * row + position)];
            const cv::Point2d drawn = DrawnPattern::elementCentre(slot, at.x(), at.y());
            double cx = 0.0, cy = 0.0;
            if (!VirtualCamera::screenToCamera(physical, drawn.x, drawn.y, cx, cy))
                continue;
            centre[k] = cv::Point2f(static_cast<float>(cx), static_cast<float>(cy));
            const double screenReach = PatternGeometry::isMarkerSlot(slot)
                                           ? 3.0 * std::sqrt(2.0) * MarkerPass::cellSize(radius) + 1.0
                                           : radius + 2.0;
            const double reach = reachInCamera(physical, drawn, cx, cy, screenReach, light.blurSigma);
            double fxx = 0.0, fxy = 0.0, fyy = 0.0;
            const int left = std::max(1, static_cast<int>(cx - reach));
            const int right = std::min(element.cols - 2, static_cast<int>(cx + reach) + 1);
            const int top = std::max(1, static_cast<int>(cy - reach));
            const int bottom = std::min(element.rows - 2, static_cast<int>(cy + reach) + 1);
            for (int y = top; y <= bottom; ++y) {
                const float* above = element.ptr<float>(y - 1);
                const float* here = element.ptr<float>(y);
                const float* below = element.ptr<float>(y + 1);
                for (int x = left; x <= right; ++x) {
                    if (std::hypot(x - cx, y - cy) > reach)
                        continue;
                    const double gx = 0.5 * static_cast<double>(here[x + 1] - here[x - 1]);
                    const double gy = 0.5 * static_cast<double>(below[x] - above[x]);
                    fxx += gx * gx;
                    fxy += gx * gy;
                    fyy += gy * gy;
                }
            }
            const double det = fxx * fyy - fxy * fxy;
            if (!(det > 0.0))
                continue;
            // The covariance: the noise's variance through the inverse of the information.
            const double cxx = noise * fyy / det, cxy = -noise * fxy / det, cyy = noise * fxx / det;
            const double l00 = std::sqrt(cxx), l10 = cxy / l00;
            factor[k] = {l00, l10, std::sqrt(std::max(0.0, cyy - l10 * l10))};
            // Into the screen through the camera's own mapping there, as the analysis reports it.
            double sx = 0.0, sy = 0.0, ax = 0.0, ay = 0.0, bx = 0.0, by = 0.0;
            physical.cameraToScreen(cx, cy, sx, sy);
            physical.cameraToScreen(cx + 1.0, cy, ax, ay);
            physical.cameraToScreen(cx, cy + 1.0, bx, by);
            const double a00 = ax - sx, a10 = ay - sy, a01 = bx - sx, a11 = by - sy;
            screenVariance[k] = (a00 * a00 + a10 * a10) * cxx + 2.0 * (a00 * a01 + a10 * a11) * cxy +
                                (a01 * a01 + a11 * a11) * cyy;
        }
    }
}

AnalysisResult::PointTable InformationFloor::draw(std::mt19937& random, const Found& found) const {
    std::normal_distribution<double> unit(0.0, 1.0);
    AnalysisResult::PointTable drawn{};
    for (size_t k = 0; k < static_cast<size_t>(count); ++k) {
        const double u = unit(random), v = unit(random);
        if (!found[k] || !AnalysisResult::isFound(centre[k]))
            continue;
        const std::array<double, 3>& l = factor[k];
        const double x = static_cast<double>(centre[k].x), y = static_cast<double>(centre[k].y);
        drawn[k] = cv::Point2f(static_cast<float>(x + l[0] * u), static_cast<float>(y + l[1] * u + l[2] * v));
    }
    return drawn;
}
