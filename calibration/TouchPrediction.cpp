#include "calibration/TouchPrediction.h"

#include <opencv2/core.hpp>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace {

using Predictor = std::function<QPointF(const QPointF&)>;

// Targets are placed in whole or third pixels; one pixel off a line is still on it.
constexpr double collinearPixels = 1.0;

double length(const QPointF& v) {
    return std::hypot(v.x(), v.y());
}

bool collinear(const QPointF& a, const QPointF& b, const QPointF& c) {
    const QPointF ab = b - a;
    const QPointF ac = c - a;
    const double base = std::max(length(ab), std::max(length(ac), length(c - b)));
    if (base <= collinearPixels)
        return true;
    // The cross product over the longest side is the distance of the third point from that side.
    return std::abs(ab.x() * ac.y() - ab.y() * ac.x()) / base <= collinearPixels;
}

bool hasTriangle(const std::vector<QPointF>& p) {
    for (size_t i = 0; i < p.size(); ++i)
        for (size_t j = i + 1; j < p.size(); ++j)
            for (size_t k = j + 1; k < p.size(); ++k)
                if (!collinear(p[i], p[j], p[k]))
                    return true;
    return false;
}

// A homography is fixed by four points of which no three lie on a line.
bool hasQuadrilateral(const std::vector<QPointF>& p) {
    const size_t n = p.size();
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 1; j < n; ++j)
            for (size_t k = j + 1; k < n; ++k) {
                if (collinear(p[i], p[j], p[k]))
                    continue;
                for (size_t l = k + 1; l < n; ++l)
                    if (!collinear(p[i], p[j], p[l]) && !collinear(p[i], p[k], p[l]) &&
                        !collinear(p[j], p[k], p[l]))
                        return true;
            }
    return false;
}

// Moves the points' centroid to the origin and scales their mean distance to sqrt(2), so that the
// linear systems below are well conditioned whatever the pixel ranges.
cv::Matx33d normalising(const std::vector<QPointF>& p) {
    double cx = 0.0;
    double cy = 0.0;
    for (const QPointF& q : p) {
        cx += q.x();
        cy += q.y();
    }
    cx /= static_cast<double>(p.size());
    cy /= static_cast<double>(p.size());
    double mean = 0.0;
    for (const QPointF& q : p)
        mean += std::hypot(q.x() - cx, q.y() - cy);
    mean /= static_cast<double>(p.size());
    const double s = mean > 0.0 ? std::sqrt(2.0) / mean : 1.0;
    return cv::Matx33d(s, 0, -s * cx, 0, s, -s * cy, 0, 0, 1);
}

QPointF apply(const cv::Matx33d& h, const QPointF& p) {
    const cv::Vec3d v = h * cv::Vec3d(p.x(), p.y(), 1.0);
    if (std::abs(v[2]) < 1e-12)
        return QPointF(std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity());
    return QPointF(v[0] / v[2], v[1] / v[2]);
}

// Least-squares projective map screen -> camera (normalised direct linear transform).
cv::Matx33d fitHomography(const std::vector<QPointF>& screen, const std::vector<QPointF>& camera) {
    const cv::Matx33d ts = normalising(screen);
    const cv::Matx33d tc = normalising(camera);
    cv::Mat a(static_cast<int>(2 * screen.size()), 9, CV_64F, cv::Scalar(0));
    for (size_t i = 0; i < screen.size(); ++i) {
        const QPointF s = apply(ts, screen[i]);
        const QPointF c = apply(tc, camera[i]);
        double* r0 = a.ptr<double>(static_cast<int>(2 * i));
        double* r1 = a.ptr<double>(static_cast<int>(2 * i + 1));
        const double x = s.x(), y = s.y(), u = c.x(), v = c.y();
        const double row0[9] = {-x, -y, -1, 0, 0, 0, u * x, u * y, u};
        const double row1[9] = {0, 0, 0, -x, -y, -1, v * x, v * y, v};
        std::copy(row0, row0 + 9, r0);
        std::copy(row1, row1 + 9, r1);
    }
    cv::Mat w, u, vt;
    cv::SVD::compute(a, w, u, vt, cv::SVD::FULL_UV);
    cv::Matx33d hn;
    for (int i = 0; i < 9; ++i)
        hn.val[i] = vt.at<double>(8, i);
    return tc.inv() * hn * ts;
}

// Least-squares affine map screen -> camera.
cv::Matx33d fitAffine(const std::vector<QPointF>& screen, const std::vector<QPointF>& camera) {
    const cv::Matx33d ts = normalising(screen);
    cv::Mat a(static_cast<int>(screen.size()), 3, CV_64F);
    cv::Mat b(static_cast<int>(screen.size()), 2, CV_64F);
    for (size_t i = 0; i < screen.size(); ++i) {
        const QPointF s = apply(ts, screen[i]);
        const int r = static_cast<int>(i);
        a.at<double>(r, 0) = s.x();
        a.at<double>(r, 1) = s.y();
        a.at<double>(r, 2) = 1.0;
        b.at<double>(r, 0) = camera[i].x();
        b.at<double>(r, 1) = camera[i].y();
    }
    cv::Mat x;
    cv::solve(a, b, x, cv::DECOMP_SVD);
    const cv::Matx33d an(x.at<double>(0, 0), x.at<double>(1, 0), x.at<double>(2, 0), x.at<double>(0, 1),
                         x.at<double>(1, 1), x.at<double>(2, 1), 0, 0, 1);
    return an * ts;
}

// The tolerance is a share of the distance from the prediction to the nearest prediction of
// another target: relative to the camera's own spacing of the targets, it holds whatever the
// camera's resolution, distance and angle to the screen. Half of it would be the boundary to the
// neighbour; the rest is room for the lens, whose bending a projective map of the nearby points
// follows only roughly where it must reach a whole column ahead (the first target of a column, worst
// in a corner of a short-throw lens: up to 0.7 of the spacing). A touch beyond it is on a
// neighbouring target at best.
constexpr double spacingShare = 0.8;

double toleranceFromSpacing(const Predictor& predict, const std::vector<QPointF>& targets, size_t index,
                            const QPointF& expected) {
    double nearest = std::numeric_limits<double>::infinity();
    for (size_t j = 0; j < targets.size(); ++j) {
        if (j == index)
            continue;
        const double d = length(predict(targets[j]) - expected);
        if (std::isfinite(d) && d > 0.0)
            nearest = std::min(nearest, d);
    }
    return spacingShare * nearest;
}

// The taken targets lie on one line (the first column): the camera's view across that line is
// not known yet, only along it. The touch must sit beside the line's image at the right place:
// seen from the image of its foot on the line, it must lie within maxShearDegrees of the
// perpendicular (either side: the camera may see the screen mirrored) and at between 1/maxStretch
// and maxStretch times the distance a camera with square pixels would show. A camera at the
// projector sees the first column's neighbour about 10 degrees sheared and 10 % shortened; the
// next target of the column lies 27 degrees off at 1920 x 1080, so the limits stay below that.
constexpr double maxShearDegrees = 17.0;
constexpr double maxStretch = 1.6;

TouchPrediction::Verdict judgeBesideLine(const std::vector<QPointF>& screen,
                                         const std::vector<QPointF>& camera, const QPointF& target,
                                         const QPointF& touched) {
    TouchPrediction::Verdict verdict;
    verdict.model = TouchPrediction::Model::Line;
    size_t far = 0;
    for (size_t i = 1; i < screen.size(); ++i)
        if (length(screen[i] - screen[0]) > length(screen[far] - screen[0]))
            far = i;
    const QPointF span = screen[far] - screen[0];
    const QPointF e = span / length(span);
    const QPointF n(-e.y(), e.x());
    // camera = a + b * t along the line, least squares.
    double st = 0, stt = 0;
    QPointF sc, stc;
    for (size_t i = 0; i < screen.size(); ++i) {
        const double t = QPointF::dotProduct(screen[i] - screen[0], e);
        st += t;
        stt += t * t;
        sc += camera[i];
        stc += t * camera[i];
    }
    const double count = static_cast<double>(screen.size());
    const double det = count * stt - st * st;
    const QPointF b = (count * stc - st * sc) / det;
    const QPointF a = (sc - st * b) / count;
    // Taken points the camera saw in one spot say nothing about the view; the fit judges them.
    if (!(det > 0.0) || !(length(b) > 1e-6))
        return verdict;
    const double t = QPointF::dotProduct(target - screen[0], e);
    const double s = QPointF::dotProduct(target - screen[0], n);
    const QPointF foot = a + t * b;
    const double scale = length(b);
    const QPointF along = b / scale;
    const QPointF across(-along.y(), along.x());
    const double expectedAcross = std::abs(s) * scale;
    const QPointF offset = touched - foot;
    const double alongPart = QPointF::dotProduct(offset, along);
    const double acrossPart = QPointF::dotProduct(offset, across);
    const double side = acrossPart >= 0.0 ? 1.0 : -1.0;
    verdict.expected = foot + side * expectedAcross * across;
    verdict.distance = length(touched - verdict.expected);
    verdict.tolerance = expectedAcross * std::tan(maxShearDegrees * M_PI / 180.0);
    const double shear = std::atan2(std::abs(alongPart), std::abs(acrossPart)) * 180.0 / M_PI;
    const double stretch = std::abs(acrossPart) / std::max(expectedAcross, 1e-9);
    verdict.accepted = shear <= maxShearDegrees && stretch >= 1.0 / maxStretch && stretch <= maxStretch;
    return verdict;
}

// Enough points around the next target for a projective map with some redundancy.
constexpr size_t localPoints = 8;

std::vector<size_t> nearestFirst(const std::vector<QPointF>& points, const QPointF& to) {
    std::vector<size_t> order(points.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return length(points[a] - to) < length(points[b] - to); });
    return order;
}

} // namespace

TouchPrediction::Verdict TouchPrediction::judge(const std::vector<QPointF>& screenTargets,
                                                const std::vector<QPointF>& takenCamera,
                                                const QPointF& touched) {
    const size_t index = takenCamera.size();
    if (index < static_cast<size_t>(freeTouches) || index >= screenTargets.size())
        return Verdict();
    const std::vector<QPointF> screen(screenTargets.begin(),
                                      screenTargets.begin() + static_cast<long>(index));
    const QPointF& target = screenTargets[index];
    if (!hasTriangle(screen))
        return judgeBesideLine(screen, takenCamera, target, touched);
    Verdict verdict;
    cv::Matx33d map;
    // The lens bends straight lines; across the whole screen no projective map follows it, but
    // over the few targets around the next one it does. So the fit uses the nearest taken points.
    const std::vector<size_t> near = nearestFirst(screen, target);
    std::vector<QPointF> localScreen;
    std::vector<QPointF> localCamera;
    for (size_t i : near) {
        localScreen.push_back(screen[i]);
        localCamera.push_back(takenCamera[i]);
        if (localScreen.size() >= localPoints && hasQuadrilateral(localScreen))
            break;
    }
    if (hasQuadrilateral(localScreen)) {
        verdict.model = Model::Projective;
        map = fitHomography(localScreen, localCamera);
    } else {
        verdict.model = Model::Affine;
        map = fitAffine(localScreen, localCamera);
    }
    const Predictor predict = [&map](const QPointF& p) {
        return apply(map, p);
    };
    verdict.expected = predict(target);
    verdict.distance = length(touched - verdict.expected);
    verdict.tolerance = toleranceFromSpacing(predict, screenTargets, index, verdict.expected);
    // A prediction that is not finite means the taken points contradict one another; the fit at
    // the end judges them, not this check.
    verdict.accepted = !std::isfinite(verdict.distance) || !std::isfinite(verdict.tolerance) ||
                       verdict.distance <= verdict.tolerance;
    return verdict;
}
