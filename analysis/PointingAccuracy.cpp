#include "analysis/PointingAccuracy.h"

#include "analysis/FitUncertainty.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <opencv2/core.hpp>

namespace {

constexpr int homographyParameters = 8;

// Moves the points' centroid to the origin and their mean distance to sqrt(2), which keeps the
// linear solution well conditioned for pixel coordinates.
cv::Matx33d normalising(const std::vector<double>& xy) {
    const size_t n = xy.size() / 2;
    double mx = 0.0, my = 0.0;
    for (size_t i = 0; i < n; ++i) {
        mx += xy[2 * i];
        my += xy[2 * i + 1];
    }
    mx /= n;
    my /= n;
    double mean = 0.0;
    for (size_t i = 0; i < n; ++i)
        mean += std::hypot(xy[2 * i] - mx, xy[2 * i + 1] - my);
    mean /= n;
    const double s = mean > 0.0 ? std::sqrt(2.0) / mean : 1.0;
    return cv::Matx33d(s, 0, -s * mx, 0, s, -s * my, 0, 0, 1);
}

// The projective map from camera to screen points that best fits them (normalised linear
// solution); false when the points do not determine one.
bool fitHomography(const std::vector<double>& cameraXY, const std::vector<double>& screenXY, cv::Matx33d& h) {
    const int n = static_cast<int>(cameraXY.size() / 2);
    const cv::Matx33d tc = normalising(cameraXY), ts = normalising(screenXY);
    cv::Mat a(2 * n, 9, CV_64F);
    for (int i = 0; i < n; ++i) {
        const cv::Vec3d c = tc * cv::Vec3d(cameraXY[2 * i], cameraXY[2 * i + 1], 1.0);
        const cv::Vec3d s = ts * cv::Vec3d(screenXY[2 * i], screenXY[2 * i + 1], 1.0);
        const double rowX[9] = {c[0], c[1], 1, 0, 0, 0, -s[0] * c[0], -s[0] * c[1], -s[0]};
        const double rowY[9] = {0, 0, 0, c[0], c[1], 1, -s[1] * c[0], -s[1] * c[1], -s[1]};
        for (int k = 0; k < 9; ++k) {
            a.at<double>(2 * i, k) = rowX[k];
            a.at<double>(2 * i + 1, k) = rowY[k];
        }
    }
    cv::SVD svd(a, cv::SVD::FULL_UV);
    // A second null direction (points on a line, repeated points) leaves the map undetermined.
    if (!(svd.w.at<double>(7) > 1e-9 * svd.w.at<double>(0)))
        return false;
    cv::Matx33d normalised;
    for (int k = 0; k < 9; ++k)
        normalised.val[k] = svd.vt.at<double>(8, k);
    h = ts.inv() * normalised * tc;
    return std::isfinite(h(2, 2)) && std::fabs(h(2, 2)) > 0.0;
}

} // namespace

PointingAccuracy::PointingAccuracy(double pixels, int leastAccurateRegion)
    : figure(pixels)
    , region(std::isfinite(pixels) && pixels >= 0.0 && leastAccurateRegion >= 0 &&
                     leastAccurateRegion < regionCount
                 ? leastAccurateRegion
                 : -1) {}

PointingAccuracy::Grade PointingAccuracy::grade() const {
    if (figure < excellentBelow)
        return Grade::excellent;
    return figure < goodBelow ? Grade::good : Grade::poor;
}

int PointingAccuracy::regionOf(double sx, double sy, int screenWidth, int screenHeight) {
    if (screenWidth <= 0 || screenHeight <= 0)
        return 4;
    const int column = std::clamp(static_cast<int>(std::floor(3.0 * sx / screenWidth)), 0, 2);
    const int row = std::clamp(static_cast<int>(std::floor(3.0 * sy / screenHeight)), 0, 2);
    return 3 * row + column;
}

PointingAccuracy PointingAccuracy::ofModelFit(const MappingModel& model, const std::vector<double>& cameraXY,
                                              double error, int screenWidth, int screenHeight) {
    const FitUncertainty uncertainty(model, cameraXY, error);
    std::array<double, regionCount> sum{};
    std::array<int, regionCount> samples{};
    bool finite = true;
    uncertainty.forEachScreenSample(screenWidth, screenHeight, [&](double sx, double sy, double spread) {
        finite = finite && std::isfinite(spread);
        const size_t r = static_cast<size_t>(regionOf(sx, sy, screenWidth, screenHeight));
        sum[r] += spread * spread;
        ++samples[r];
    });
    if (!finite)
        return {};
    double total = 0.0, worst = -1.0;
    int count = 0, worstRegion = -1;
    for (int r = 0; r < regionCount; ++r) {
        const size_t i = static_cast<size_t>(r);
        total += sum[i];
        count += samples[i];
        if (samples[i] > 0 && sum[i] / samples[i] > worst) {
            worst = sum[i] / samples[i];
            worstRegion = r;
        }
    }
    if (count == 0)
        return {};
    return PointingAccuracy(std::sqrt(total / count), worstRegion);
}

PointingAccuracy PointingAccuracy::ofTouchedPoints(const std::vector<double>& cameraXY,
                                                   const std::vector<double>& screenXY, int screenWidth,
                                                   int screenHeight) {
    const int n = static_cast<int>(cameraXY.size() / 2);
    if (cameraXY.size() != screenXY.size() || 2 * n <= homographyParameters)
        return {};
    cv::Matx33d h;
    if (!fitHomography(cameraXY, screenXY, h))
        return {};
    double sumSquares = 0.0, largest = -1.0;
    int largestAt = 0;
    for (int i = 0; i < n; ++i) {
        const cv::Vec3d p = h * cv::Vec3d(cameraXY[2 * i], cameraXY[2 * i + 1], 1.0);
        if (!(std::fabs(p[2]) > 1e-12))
            return {};
        const double residual = std::hypot(p[0] / p[2] - screenXY[2 * i], p[1] / p[2] - screenXY[2 * i + 1]);
        sumSquares += residual * residual;
        if (residual > largest) {
            largest = residual;
            largestAt = i;
        }
    }
    // The fit takes up 8 of the 2n coordinates' freedom, so the residuals alone understate the
    // scatter: per coordinate it is sumSquares / (2n - 8), and a position has two coordinates.
    const double rms = std::sqrt(2.0 * sumSquares / (2 * n - homographyParameters));
    return PointingAccuracy(
        rms, regionOf(screenXY[2 * largestAt], screenXY[2 * largestAt + 1], screenWidth, screenHeight));
}
