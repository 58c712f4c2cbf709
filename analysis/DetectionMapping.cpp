#include "analysis/DetectionMapping.h"

#include "analysis/MappingModel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <opencv2/imgproc.hpp>

DetectionMapping::DetectionMapping(const LensPreset& preset, const HomographySeed& seed)
    : cx(preset.cx)
    , cy(preset.cy)
    , k1(preset.k1)
    , k2(preset.k2)
    , k3(preset.k3)
    , g(seed.coefficients()) {}

DetectionMapping::DetectionMapping(const MappingModel& model)
    : cx(model.p[MappingModel::Cx])
    , cy(model.p[MappingModel::Cy])
    , k1(model.p[MappingModel::K1])
    , k2(model.p[MappingModel::K2])
    , k3(model.p[MappingModel::K3])
    , g{model.p[MappingModel::H0], model.p[MappingModel::H1], model.p[MappingModel::H2],
        model.p[MappingModel::H3], model.p[MappingModel::H4], model.p[MappingModel::H5],
        model.p[MappingModel::H6], model.p[MappingModel::H7], 1.0} {}

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

cv::Point2d DetectionMapping::invert(const cv::Point2d& m, const cv::Point2d& start, int steps) const {
    double x = start.x, y = start.y;
    for (int step = 0; step < steps; ++step) {
        double sx = 0.0, sy = 0.0, ax = 0.0, ay = 0.0, bx = 0.0, by = 0.0;
        map(x, y, sx, sy);
        map(x + 0.5, y, ax, ay);
        map(x, y + 0.5, bx, by);
        const double j00 = (ax - sx) / 0.5, j10 = (ay - sy) / 0.5;
        const double j01 = (bx - sx) / 0.5, j11 = (by - sy) / 0.5;
        const double det = j00 * j11 - j01 * j10;
        if (!(std::fabs(det) > 1e-12))
            break;
        const double ex = m.x - sx, ey = m.y - sy;
        const double nxStep = (j11 * ex - j01 * ey) / det;
        const double nyStep = (-j10 * ex + j00 * ey) / det;
        if (!std::isfinite(nxStep) || !std::isfinite(nyStep))
            break;
        x += nxStep;
        y += nyStep;
    }
    return {x, y};
}

double DetectionMapping::pixelArea(double x, double y) const {
    double ax = 0.0, ay = 0.0, bx = 0.0, by = 0.0, cx2 = 0.0, cy2 = 0.0, dx = 0.0, dy = 0.0;
    map(x - 0.5, y, ax, ay);
    map(x + 0.5, y, bx, by);
    map(x, y - 0.5, cx2, cy2);
    map(x, y + 0.5, dx, dy);
    return std::fabs((bx - ax) * (dy - cy2) - (by - ay) * (dx - cx2));
}

double DetectionMapping::squaredMiss(double x, double y, const cv::Point2d& m) const {
    const double dx = x - cx;
    const double dy = y - cy;
    const double s = dx * dx + dy * dy;
    const double f = 1.0 + k1 * s + k2 * (s * s) + k3 * MappingModel::cube(s);
    const double u = f * dx + cx;
    const double v = f * dy + cy;
    const double w = g[6] * u + g[7] * v + g[8];
    const double ex = (g[0] * u + g[1] * v + g[2]) / w - m.x;
    const double ey = (g[3] * u + g[4] * v + g[5]) / w - m.y;
    return ex * ex + ey * ey;
}

cv::Point2d DetectionMapping::refineByInverseSearch(const cv::Point2d& m, const cv::Point2d& c) const {
    // The grid is the one a scan from c - 10 in steps of 0.2 builds (the steps accumulate, so its
    // points are taken exactly as such a scan reaches them). Near c the mapping is smooth and
    // nearly a similarity, so the miss has one valley: a descent in 5 x 5 windows, started at
    // the grid point nearest the map's local inverse of m, ends at the point a scan of the whole
    // grid finds, after a few dozen evaluations instead of ten thousand.
    std::array<double, maxGrid> xs{}, ys{};
    int nx = 0, ny = 0;
    for (double x = c.x - 10.0; x < c.x + 10.0 && nx < maxGrid; x += 0.2)
        xs[static_cast<size_t>(nx++)] = x;
    for (double y = c.y - 10.0; y < c.y + 10.0 && ny < maxGrid; y += 0.2)
        ys[static_cast<size_t>(ny++)] = y;
    if (nx == 0 || ny == 0)
        return {-1.0, -1.0};

    // Start: two Gauss-Newton steps on the map.
    const cv::Point2d start = invert(m, c, 2);
    const double x = start.x, y = start.y;
    auto nearestIndex = [](double v, double first, int n) {
        const double i = std::floor((v - first) / 0.2 + 0.5);
        if (!(i > 0.0))
            return 0;
        return i >= n - 1 ? n - 1 : static_cast<int>(i);
    };
    int i = nearestIndex(x, xs[0], nx);
    int j = nearestIndex(y, ys[0], ny);
    double best = squaredMiss(xs[static_cast<size_t>(i)], ys[static_cast<size_t>(j)], m);
    for (int guard = 0; guard < nx + ny; ++guard) {
        int bi = i, bj = j;
        double windowBest = best;
        // Scan order (rows, then columns) and strict improvement, as the whole-grid scan.
        for (int wj = std::max(j - 2, 0); wj <= std::min(j + 2, ny - 1); ++wj) {
            for (int wi = std::max(i - 2, 0); wi <= std::min(i + 2, nx - 1); ++wi) {
                const double d = squaredMiss(xs[static_cast<size_t>(wi)], ys[static_cast<size_t>(wj)], m);
                if (d < windowBest || (d == windowBest && (wj < bj || (wj == bj && wi < bi)))) {
                    windowBest = d;
                    bi = wi;
                    bj = wj;
                }
            }
        }
        if (bi == i && bj == j)
            break;
        i = bi;
        j = bj;
        best = windowBest;
    }
    return {xs[static_cast<size_t>(i)], ys[static_cast<size_t>(j)]};
}

cv::Point2d DetectionMapping::refineByWholeGridScan(const cv::Point2d& m, const cv::Point2d& c) const {
    cv::Point2d best(-1.0, -1.0);
    double bestDistance = 0.0;
    bool tried = false;
    for (double y = c.y - 10.0; y < c.y + 10.0; y += 0.2) {
        for (double x = c.x - 10.0; x < c.x + 10.0; x += 0.2) {
            const double distance = squaredMiss(x, y, m);
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
