#include "analysis/DetectionMapping.h"

#include "analysis/MappingModel.h"

#include <cmath>
#include <opencv2/imgproc.hpp>

DetectionMapping::DetectionMapping(const LensPreset& preset, const HomographySeed& seed)
    : cx(preset.cx)
    , cy(preset.cy)
    , k1(preset.k1)
    , k2(preset.k2)
    , k3(preset.k3)
    , g(seed.coefficients()) {}

void DetectionMapping::map(double x, double y, double& sx, double& sy) const {
    const double dx = x - cx;
    const double dy = y - cy;
    const double s = dx * dx + dy * dy;
    const double f = 1.0 + k1 * s + k2 * (s * s) + k3 * MappingModel::cube(s);
    const double u = f * dx + cx;
    const double v = f * dy + cy;
    const double w = g[6] * u + g[7] * v + g[8];
    sx = (g[0] * u + g[1] * v + g[2]) / w;
    sy = (g[3] * u + g[4] * v + g[5]) / w;
}

int roundHalfUp(double v) {
    const double r = std::floor(v + 0.5);
    // Far outside any screen: clamp instead of overflowing the conversion.
    if (!(r > -1e9))
        return -1000000000;
    if (r > 1e9)
        return 1000000000;
    return static_cast<int>(r);
}

template <typename CameraPoint>
void DetectionMapping::mapEachRounded(const std::vector<CameraPoint>& camera,
                                      std::vector<cv::Point>& screen) const {
    screen.resize(camera.size());
    for (size_t i = 0; i < camera.size(); ++i) {
        double sx = 0.0, sy = 0.0;
        map(static_cast<double>(camera[i].x), static_cast<double>(camera[i].y), sx, sy);
        screen[i] = {roundHalfUp(sx), roundHalfUp(sy)};
    }
}

void DetectionMapping::mapRounded(const std::vector<cv::Point>& camera,
                                  std::vector<cv::Point>& screen) const {
    mapEachRounded(camera, screen);
}

void DetectionMapping::mapRounded(const std::vector<cv::Point2f>& camera,
                                  std::vector<cv::Point>& screen) const {
    mapEachRounded(camera, screen);
}

cv::Point2d DetectionMapping::refineByInverseSearch(const cv::Point2d& m, const cv::Point2d& c) const {
    cv::Point2d best(-1.0, -1.0);
    double bestDistance = 0.0;
    bool tried = false;
    for (double y = c.y - 10.0; y < c.y + 10.0; y += 0.2) {
        const double dy = y - cy;
        const double dy2 = dy * dy;
        for (double x = c.x - 10.0; x < c.x + 10.0; x += 0.2) {
            const double dx = x - cx;
            const double s = dx * dx + dy2;
            const double f = 1.0 + k1 * s + k2 * (s * s) + k3 * MappingModel::cube(s);
            const double u = f * dx + cx;
            const double v = f * dy + cy;
            const double w = g[6] * u + g[7] * v + g[8];
            const double ex = (g[0] * u + g[1] * v + g[2]) / w - m.x;
            const double ey = (g[3] * u + g[4] * v + g[5]) / w - m.y;
            const double distance = ex * ex + ey * ey;
            if (!tried || distance < bestDistance) {
                best = {x, y};
                bestDistance = distance;
                tried = true;
            }
        }
    }
    return best;
}

namespace {

template <typename Point>
bool centroidOf(const std::vector<Point>& polygon, cv::Point2d& centre) {
    const cv::Moments mo = cv::moments(polygon);
    if (mo.m00 == 0.0)
        return false;
    centre = {mo.m10 / mo.m00, mo.m01 / mo.m00};
    return true;
}

} // namespace

bool polygonCentroid(const std::vector<cv::Point>& polygon, cv::Point2d& centre) {
    return centroidOf(polygon, centre);
}

bool polygonCentroid(const std::vector<cv::Point2f>& polygon, cv::Point2d& centre) {
    return centroidOf(polygon, centre);
}
