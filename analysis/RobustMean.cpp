#include "analysis/RobustMean.h"

#include <algorithm>
#include <cmath>

cv::Point2d robustMean(const std::vector<cv::Point2d>& points) {
    if (points.empty())
        return {0.0, 0.0};
    const double count = static_cast<double>(points.size());
    double mx = 0.0, my = 0.0;
    for (const cv::Point2d& p : points) {
        mx += p.x;
        my += p.y;
    }
    mx /= count;
    my /= count;
    double vx = 0.0, vy = 0.0;
    for (const cv::Point2d& p : points) {
        vx += (p.x - mx) * (p.x - mx);
        vy += (p.y - my) * (p.y - my);
    }
    const double sx = std::sqrt(vx / count);
    const double sy = std::sqrt(vy / count);
    if (sx < 0.1 && sy < 0.1)
        return {mx, my};
    const double bx = 3.0 * std::max(sx, 0.01);
    const double by = 3.0 * std::max(sy, 0.01);
    double ix = 0.0, iy = 0.0;
    int inside = 0;
    for (const cv::Point2d& p : points) {
        if (std::fabs(p.x - mx) < bx && std::fabs(p.y - my) < by) {
            ix += p.x;
            iy += p.y;
            ++inside;
        }
    }
    if (inside == 0)
        return {0.0, 0.0};
    return {ix / inside, iy / inside};
}
