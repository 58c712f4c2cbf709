#include "analysis/FitResiduals.h"

#include "analysis/FitUncertainty.h"

#include <algorithm>
#include <cmath>

FitResiduals::FitResiduals(const MappingModel& model, const std::vector<double>& cameraXY,
                           const std::vector<double>& screenXY) {
    const size_t n = std::min(cameraXY.size(), screenXY.size()) / 2;
    const std::vector<double> fitted(cameraXY.begin(), cameraXY.begin() + static_cast<std::ptrdiff_t>(2 * n));
    const FitUncertainty uncertainty(model, fitted, 0.0);
    residuals.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const double x = cameraXY[2 * i], y = cameraXY[2 * i + 1];
        double sx = 0.0, sy = 0.0, ax = 0.0, ay = 0.0, bx = 0.0, by = 0.0;
        model.cameraToScreen(x, y, sx, sy);
        model.cameraToScreen(x + 1.0, y, ax, ay);
        model.cameraToScreen(x, y + 1.0, bx, by);
        // The screen residual back in camera pixels through the local scale of the model.
        const double area = std::abs((ax - sx) * (by - sy) - (ay - sy) * (bx - sx));
        double ex = screenXY[2 * i] - sx, ey = screenXY[2 * i + 1] - sy;
        // The fit is pulled towards each of its points, most at the edges where few others hold
        // it; the residual the point would have were it left out is (I - H)^-1 times its own.
        double hat[2][2];
        if (uncertainty.leverage(x, y, hat)) {
            const double a = 1.0 - hat[0][0], b = -hat[0][1], c = -hat[1][0], d = 1.0 - hat[1][1];
            const double det = a * d - b * c;
            if (det > 1e-6) {
                const double lx = (d * ex - b * ey) / det, ly = (-c * ex + a * ey) / det;
                ex = lx;
                ey = ly;
            }
        }
        const double offScreen = std::hypot(ex, ey);
        const double r = area > 1e-12 ? offScreen / std::sqrt(area) : offScreen;
        residuals.push_back(std::isfinite(r) ? r : 1e9);
    }
}

double FitResiduals::scatter() const {
    if (residuals.empty())
        return 0.0;
    std::vector<double> sorted = residuals;
    const size_t mid = sorted.size() / 2;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(mid), sorted.end());
    // The distance of a point with equal normal scatter sigma on both axes has its median at
    // 1.177 sigma.
    return sorted[mid] / 1.177;
}

int FitResiduals::outlier() const {
    // Too few points to tell one from the rest.
    if (residuals.size() < 6)
        return -1;
    const auto worst = std::max_element(residuals.begin(), residuals.end());
    const double limit = std::max(leastOutlier, outlierFactor * scatter());
    return *worst > limit ? static_cast<int>(worst - residuals.begin()) : -1;
}
