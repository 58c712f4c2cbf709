#include "analysis/ElementFit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <opencv2/core.hpp>
#include <vector>

namespace {

constexpr int maxSteps = 8;
// Camera pixels from the centre to the window's edge at most: an accepted disc is at most 160
// pixels wide, so this bounds the work whatever the mapping.
constexpr double maxReach = 150.0;
// The steps end when one moves the element by less than this share of the edges' softness: about
// a hundredth of a camera pixel, far below what noise leaves.
constexpr double settled = 0.01;
constexpr double invSqrt2 = 0.70710678118654752;
constexpr double invSqrt2Pi = 0.39894228040143268;

struct Sample {
    double u, v; // screen position less the starting centre
    double grey;
    // The white and black frames' levels here, when they are at hand: first the pixels', then
    // their planes' through the window.
    double lit = 0.0, unlit = 0.0;
};

// How the levels around and inside the element are modelled: Levels::count parameters, linear in
// the model, each pixel's regressors given its darkness d, and the contrast the darkness is taken
// off with.
// The lit level and the element's contrast each a plane, all six fitted: the pattern frame alone.
struct FittedPlanes {
    static constexpr int count = 6;
    using Vec = cv::Vec<double, count>;
    static Vec regressors(const Sample& s, double d) { return Vec(1.0, s.u, s.v, -d, -s.u * d, -s.v * d); }
    static double contrast(const double* q, const Sample& s) { return q[3] + q[4] * s.u + q[5] * s.v; }
    static void start(double* q, double meanGrey) { q[0] = meanGrey; }
};
// The lit and unlit levels as the white and black frames show them, each scaled by how the
// pattern frame's exposure differs from that frame's: only two levels left to fit, and none of
// them slopes, so the element's offset no longer shares its edges' information with the slopes.
struct FramedLevels {
    static constexpr int count = 2;
    using Vec = cv::Vec<double, count>;
    static Vec regressors(const Sample& s, double d) { return Vec(s.lit * (1.0 - d), s.unlit * d); }
    static double contrast(const double* q, const Sample& s) { return q[0] * s.lit - q[1] * s.unlit; }
    static void start(double* q, double) {
        q[0] = 1.0;
        q[1] = 1.0;
    }
};

// The drawn element's darkness (1 on black) at d from its centre, its gradient and its change
// with the edges' softness.
struct Darkness {
    double value = 0.0, du = 0.0, dv = 0.0, ds = 0.0;
};

// The normal distribution's integral and density on z in [-4, 4], tabulated: the fit evaluates
// them some million times per calibration.
class SoftStepTable {
public:
    static constexpr int steps = 1600;
    static constexpr double reach = 4.0;
    SoftStepTable() {
        for (int i = 0; i <= steps; ++i) {
            const double z = -reach + 2.0 * reach * i / steps;
            integral[static_cast<size_t>(i)] = 0.5 * std::erfc(-z * invSqrt2);
            density[static_cast<size_t>(i)] = invSqrt2Pi * std::exp(-0.5 * z * z);
        }
    }
    // Linear between the tabulated points.
    void at(double z, double& step, double& slope) const {
        const double position = (z + reach) * (steps / (2.0 * reach));
        const int i = std::min(static_cast<int>(position), steps - 1);
        const double f = position - i;
        const size_t k = static_cast<size_t>(i);
        step = integral[k] + f * (integral[k + 1] - integral[k]);
        slope = density[k] + f * (density[k + 1] - density[k]);
    }

private:
    std::array<double, steps + 1> integral{};
    std::array<double, steps + 1> density{};
};

// A soft step along one axis: 0 well before the edge, 1 well after it, and its slope.
inline void softStep(double x, double sigma, double& step, double& slope) {
    static const SoftStepTable table;
    const double z = x / sigma;
    if (z <= -SoftStepTable::reach) {
        step = 0.0;
        slope = 0.0;
    } else if (z >= SoftStepTable::reach) {
        step = 1.0;
        slope = 0.0;
    } else {
        table.at(z, step, slope);
        slope /= sigma;
    }
}

// Whether (u, v) lies within margin of an edge of the element: elsewhere its darkness is 0 or 1
// exactly and does not change as the element moves by less than the margin's slack.
bool nearEdge(double u, double v, const ElementFit::Shape& shape, double margin) {
    if (!shape.marker)
        return std::fabs(std::hypot(u, v) - shape.discRadius) < margin;
    // The marker: near an edge when the cells within the margin are not all of one colour (the
    // screen around the marker counts as white). Cell lines between two cells of one colour are
    // no edge.
    const double cell2 = shape.cellX.dot(shape.cellX);
    const double m = margin / std::sqrt(cell2);
    const double x = (u * shape.cellX.x + v * shape.cellX.y) / cell2 + 3.0;
    const double y = (u * shape.cellY.x + v * shape.cellY.y) / cell2 + 3.0;
    if (x + m < 0.0 || y + m < 0.0 || x - m >= 6.0 || y - m >= 6.0)
        return false;
    auto black = [&shape](int column, int row) {
        return column >= 0 && row >= 0 && column < 6 && row < 6 &&
               shape.blackCells[static_cast<size_t>(6 * row + column)];
    };
    const int left = static_cast<int>(std::floor(x - m)), right = static_cast<int>(std::floor(x + m));
    const int top = static_cast<int>(std::floor(y - m)), bottom = static_cast<int>(std::floor(y + m));
    const bool first = black(left, top);
    for (int row = top; row <= bottom; ++row) {
        for (int column = left; column <= right; ++column) {
            if (black(column, row) != first)
                return true;
        }
    }
    return false;
}

// The sharp element's darkness away from its edges.
double flatDarkness(double u, double v, const ElementFit::Shape& shape) {
    if (!shape.marker)
        return std::hypot(u, v) < shape.discRadius ? 1.0 : 0.0;
    const double cell2 = shape.cellX.dot(shape.cellX);
    const double x = (u * shape.cellX.x + v * shape.cellX.y) / cell2 + 3.0;
    const double y = (u * shape.cellY.x + v * shape.cellY.y) / cell2 + 3.0;
    if (x < 0.0 || y < 0.0 || x >= 6.0 || y >= 6.0)
        return 0.0;
    return shape.blackCells[static_cast<size_t>(6 * static_cast<int>(y) + static_cast<int>(x))] ? 1.0 : 0.0;
}

Darkness disc(double u, double v, double radius, double sigma) {
    Darkness d;
    const double r = std::hypot(u, v);
    double slope = 0.0;
    softStep(radius - r, sigma, d.value, slope);
    if (r > 1e-9 && slope != 0.0) {
        d.du = -slope * u / r;
        d.dv = -slope * v / r;
    }
    d.ds = -slope * (radius - r) / sigma;
    return d;
}

Darkness marker(double u, double v, const ElementFit::Shape& shape, double sigma) {
    // Into the marker's frame, in cells from its centre; the cells tile, so the softened marker is
    // the sum of its softened black cells, each a product of two soft steps.
    const double cell2 = shape.cellX.dot(shape.cellX);
    const double x = (u * shape.cellX.x + v * shape.cellX.y) / cell2;
    const double y = (u * shape.cellY.x + v * shape.cellY.y) / cell2;
    const double s = sigma / std::sqrt(cell2);
    // Only the cells within the steps' reach differ from 0 in both directions' factors.
    const double reach = SoftStepTable::reach * s;
    const int left = std::max(0, static_cast<int>(std::floor(x + 3.0 - reach)));
    const int right = std::min(5, static_cast<int>(std::floor(x + 3.0 + reach)));
    const int top = std::max(0, static_cast<int>(std::floor(y + 3.0 - reach)));
    const int bottom = std::min(5, static_cast<int>(std::floor(y + 3.0 + reach)));
    // Each step, its slope and its change with the softness: a step of Phi(X / s) changes by
    // -slope X / sigma as sigma grows.
    double fx[7], gx[7], hx[7], fy[7], gy[7], hy[7];
    for (int k = left; k <= right + 1; ++k) {
        softStep(x - (k - 3), s, fx[k], gx[k]);
        hx[k] = -gx[k] * (x - (k - 3)) / sigma;
    }
    for (int k = top; k <= bottom + 1; ++k) {
        softStep(y - (k - 3), s, fy[k], gy[k]);
        hy[k] = -gy[k] * (y - (k - 3)) / sigma;
    }
    double value = 0.0, dx = 0.0, dy = 0.0, ds = 0.0;
    for (int row = top; row <= bottom; ++row) {
        const double by = fy[row] - fy[row + 1];
        const double dby = gy[row] - gy[row + 1];
        const double sby = hy[row] - hy[row + 1];
        for (int column = left; column <= right; ++column) {
            if (!shape.blackCells[static_cast<size_t>(6 * row + column)])
                continue;
            const double bx = fx[column] - fx[column + 1];
            const double dbx = gx[column] - gx[column + 1];
            value += bx * by;
            dx += dbx * by;
            dy += bx * dby;
            ds += (hx[column] - hx[column + 1]) * by + bx * sby;
        }
    }
    Darkness d;
    d.value = value;
    d.ds = ds;
    // Back to the screen: x and y change along the cell sides, one per cell.
    d.du = (dx * shape.cellX.x + dy * shape.cellY.x) / cell2;
    d.dv = (dx * shape.cellX.y + dy * shape.cellY.y) / cell2;
    return d;
}

// Replaces one level of every sample (Sample::lit or Sample::unlit) by the plane a + bu u + bv v
// through them all; its value at the window's centre in centreLevel. False when no plane fits.
bool flattenToPlane(std::vector<Sample>& samples, double Sample::*level, double& centreLevel) {
    cv::Matx33d normal = cv::Matx33d::zeros();
    cv::Vec3d right(0.0, 0.0, 0.0);
    for (const Sample& s : samples) {
        const cv::Vec3d j(1.0, s.u, s.v);
        normal += j * j.t();
        right += s.*level * j;
    }
    cv::Vec3d plane;
    if (!cv::solve(normal, right, plane, cv::DECOMP_CHOLESKY) ||
        !(std::isfinite(plane[0]) && std::isfinite(plane[1]) && std::isfinite(plane[2])))
        return false;
    for (Sample& s : samples)
        s.*level = plane[0] + plane[1] * s.u + plane[2] * s.v;
    centreLevel = plane[0];
    return true;
}

// The Gauss-Newton steps over the samples: the levels and the element's offset (tu, tv), last.
template <class Levels>
bool solve(const std::vector<Sample>& samples, const ElementFit::Shape& shape,
           const ElementFit::Window& window, double greyMean, const Sample& centre, cv::Point2d& offset,
           double* variance) {
    constexpr int levels = Levels::count;
    // The levels, the offset (tu, tv) and the edges' softness: the camera's own blur is seldom
    // the one assumed, and a model softer or sharper than the image weighs the edges' pixels
    // wrongly (on a blurred camera the centres scatter by a tenth more).
    constexpr int n = levels + 3;
    constexpr int softness = levels + 2;
    using LevelVec = typename Levels::Vec;
    using LevelMat = cv::Matx<double, levels, levels>;
    cv::Vec<double, n> q = cv::Vec<double, n>::all(0.0);
    Levels::start(q.val, greyMean);
    q[softness] = window.blur;
    const double softest = 3.0 * window.blur, sharpest = 0.3 * window.blur;

    // Away from the edges a pixel's darkness is fixed while the element moves by less than the
    // slack and its edges soften by less than a quarter: those pixels' share of the normal
    // equations is summed once, not at every step.
    const double slack = 2.0 + 0.5 * window.blur;
    double margin = 0.0, classifiedSoftness = 0.0;
    std::vector<const Sample*> edge;
    LevelMat flatNormal;
    LevelVec flatGrey;
    double flatSquares = 0.0; // the flat pixels' sum of squared grey levels
    cv::Point2d classifiedAt;
    auto classify = [&](const cv::Point2d& at) {
        classifiedSoftness = q[softness];
        margin = SoftStepTable::reach * 1.25 * classifiedSoftness + slack;
        edge.clear();
        flatNormal = LevelMat::zeros();
        flatGrey = LevelVec::all(0.0);
        flatSquares = 0.0;
        for (const Sample& s : samples) {
            if (nearEdge(s.u - at.x, s.v - at.y, shape, margin)) {
                edge.push_back(&s);
                continue;
            }
            const LevelVec j = Levels::regressors(s, flatDarkness(s.u - at.x, s.v - at.y, shape));
            flatNormal += j * j.t();
            flatGrey += s.grey * j;
            flatSquares += s.grey * s.grey;
        }
        classifiedAt = at;
    };
    classify({0.0, 0.0});

    bool linearOnly = true; // the first step finds the levels with the offset held
    // The last full step's normal equations and squared residuals, for the centre's variance.
    cv::Matx<double, n, n> lastNormal = cv::Matx<double, n, n>::eye();
    double lastSquares = 0.0;
    for (int step = 0; step < maxSteps; ++step) {
        if (std::hypot(q[levels] - classifiedAt.x, q[levels + 1] - classifiedAt.y) > slack ||
            q[softness] > 1.25 * classifiedSoftness)
            classify({q[levels], q[levels + 1]});
        const double sigma = q[softness];
        cv::Matx<double, n, n> normal = cv::Matx<double, n, n>::zeros();
        cv::Vec<double, n> gradient = cv::Vec<double, n>::all(0.0);
        LevelVec level;
        for (int r = 0; r < levels; ++r)
            level[r] = q[r];
        const LevelVec flatGradient = flatGrey - flatNormal * level;
        // The flat pixels' squared residuals from their sums: g·g - 2 l·J'g + l·J'J l.
        double squares = flatSquares - 2.0 * level.dot(flatGrey) + level.dot(flatNormal * level);
        for (int r = 0; r < levels; ++r) {
            gradient[r] = flatGradient[r];
            for (int c2 = 0; c2 < levels; ++c2)
                normal(r, c2) = flatNormal(r, c2);
        }
        for (const Sample* s : edge) {
            const double du = s->u - q[levels], dv = s->v - q[levels + 1];
            const Darkness d =
                shape.marker ? marker(du, dv, shape, sigma) : disc(du, dv, shape.discRadius, sigma);
            const LevelVec regressors = Levels::regressors(*s, d.value);
            const double contrast = Levels::contrast(q.val, *s);
            const double residual = s->grey - level.dot(regressors);
            squares += residual * residual;
            cv::Vec<double, n> j;
            for (int r = 0; r < levels; ++r)
                j[r] = regressors[r];
            j[levels] = contrast * d.du;
            j[levels + 1] = contrast * d.dv;
            j[softness] = -contrast * d.ds;
            for (int r = 0; r < n; ++r) {
                gradient[r] += residual * j[r];
                for (int c2 = r; c2 < n; ++c2)
                    normal(r, c2) += j[r] * j[c2];
            }
        }
        // The edge pixels filled the upper triangle only; the flat share is symmetric already.
        for (int r = 0; r < n; ++r) {
            for (int c2 = 0; c2 < r; ++c2)
                normal(r, c2) = normal(c2, r);
        }
        if (!linearOnly) {
            lastNormal = normal;
            lastSquares = squares;
        }
        if (linearOnly) {
            // The offset's rows and columns out: the levels alone.
            for (int r = levels; r < n; ++r) {
                for (int c2 = 0; c2 < n; ++c2) {
                    normal(r, c2) = r == c2 ? 1.0 : 0.0;
                    normal(c2, r) = r == c2 ? 1.0 : 0.0;
                }
                gradient[r] = 0.0;
            }
        }
        cv::Vec<double, n> delta;
        if (!cv::solve(normal, gradient, delta, cv::DECOMP_CHOLESKY))
            return false;
        q += delta;
        for (int r = 0; r < n; ++r) {
            if (!std::isfinite(q[r]))
                return false;
        }
        // A softness the image cannot tell (a small element, little contrast) stays in reach of
        // any camera's.
        q[softness] = std::clamp(q[softness], sharpest, softest);
        // The element is darker than the screen around it, or it is not this element.
        if (!linearOnly && !(Levels::contrast(q.val, centre) > 0.0))
            return false;
        if (std::hypot(q[levels], q[levels + 1]) > 0.5 * window.radius)
            return false;
        if (!linearOnly && std::hypot(delta[levels], delta[levels + 1]) < settled * window.blur)
            break;
        linearOnly = false;
    }
    offset = {q[levels], q[levels + 1]};
    if (variance) {
        // The noise the residuals leave, through the inverse of the normal equations: the
        // offset's variance, both axes summed (screen pixels squared).
        const double noise = lastSquares / std::max(1.0, static_cast<double>(samples.size()) - n);
        const cv::Matx<double, n, n> inverse = lastNormal.inv(cv::DECOMP_CHOLESKY);
        *variance = noise * (inverse(levels, levels) + inverse(levels + 1, levels + 1));
    }
    return true;
}

} // namespace

bool ElementFit::fit(const cv::Mat& image, const DetectionMapping& mapping, const Shape& shape,
                     const Window& window, cv::Point2d& screenCentre, double* variance) {
    if (image.type() != CV_8UC1 || !(window.radius > 0.0) || !(window.blur > 0.0))
        return false;
    if (shape.marker ? !(shape.cellX.dot(shape.cellX) > 0.0) : !(shape.discRadius > 0.0))
        return false;
    const cv::Point2d c = window.camera;
    double mx = 0.0, my = 0.0;
    mapping.map(c.x, c.y, mx, my);
    // The camera box that holds the window: its radius through the inverse of the local Jacobian.
    double ax = 0.0, ay = 0.0, bx = 0.0, by = 0.0;
    mapping.map(c.x + 1.0, c.y, ax, ay);
    mapping.map(c.x, c.y + 1.0, bx, by);
    const double j00 = ax - mx, j10 = ay - my, j01 = bx - mx, j11 = by - my;
    const double det = j00 * j11 - j01 * j10;
    if (!(std::fabs(det) > 1e-9) || !std::isfinite(det))
        return false;
    const double toCameraX = std::hypot(j11, j01) / std::fabs(det);
    const double toCameraY = std::hypot(j10, j00) / std::fabs(det);
    const double reachX = window.radius * toCameraX * 1.2 + 2.0;
    const double reachY = window.radius * toCameraY * 1.2 + 2.0;
    if (!(reachX < maxReach && reachY < maxReach))
        return false;
    // The element itself and its softened edges must lie in the image; the ring of screen around
    // it may be cut by the image's border (an element near the frame's edge is fitted on the part
    // of the ring in view rather than left at its outlines' centre, which lies a few tenths of a
    // pixel off).
    const double element =
        (shape.marker ? 3.0 * std::sqrt(2.0 * shape.cellX.dot(shape.cellX)) : shape.discRadius) +
        2.0 * window.blur;
    const double elementX = element * toCameraX + 1.0, elementY = element * toCameraY + 1.0;
    if (c.x - elementX < 0.0 || c.y - elementY < 0.0 || c.x + elementX > image.cols - 1.0 ||
        c.y + elementY > image.rows - 1.0)
        return false;
    const int left = std::max(0, static_cast<int>(std::floor(c.x - reachX)));
    const int right = std::min(image.cols - 1, static_cast<int>(std::ceil(c.x + reachX)));
    const int top = std::max(0, static_cast<int>(std::floor(c.y - reachY)));
    const int bottom = std::min(image.rows - 1, static_cast<int>(std::ceil(c.y + reachY)));

    const bool framed = window.white && window.black && window.white->size() == image.size() &&
                        window.black->size() == image.size() && window.white->type() == CV_8UC1 &&
                        window.black->type() == CV_8UC1;
    std::vector<Sample> samples;
    samples.reserve(static_cast<size_t>((right - left + 1) * (bottom - top + 1)));
    const double radius2 = window.radius * window.radius;
    double greySum = 0.0;
    for (int y = top; y <= bottom; ++y) {
        const unsigned char* row = image.ptr<unsigned char>(y);
        for (int x = left; x <= right; ++x) {
            double sx = 0.0, sy = 0.0;
            mapping.map(x, y, sx, sy);
            const double u = sx - mx, v = sy - my;
            if (u * u + v * v > radius2)
                continue;
            Sample sample{u, v, static_cast<double>(row[x])};
            if (framed) {
                sample.lit = window.white->at<unsigned char>(y, x);
                sample.unlit = window.black->at<unsigned char>(y, x);
            }
            samples.push_back(sample);
            greySum += row[x];
        }
    }
    if (samples.size() < 50)
        return false;
    const double greyMean = greySum / static_cast<double>(samples.size());

    cv::Point2d offset;
    bool placed = false;
    if (framed) {
        // The white and black frames carry no element: their planes through the window are the
        // levels the element's edges lie between, to their noise averaged over every pixel.
        Sample centre{0.0, 0.0, 0.0};
        if (!flattenToPlane(samples, &Sample::lit, centre.lit) ||
            !flattenToPlane(samples, &Sample::unlit, centre.unlit))
            return false;
        placed = solve<FramedLevels>(samples, shape, window, greyMean, centre, offset, variance);
    } else {
        placed =
            solve<FittedPlanes>(samples, shape, window, greyMean, Sample{0.0, 0.0, 0.0}, offset, variance);
    }
    if (!placed)
        return false;
    screenCentre = {mx + offset.x, my + offset.y};
    return true;
}
