#include "analysis/FitUncertainty.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <opencv2/core.hpp>

namespace {

constexpr int P = MappingModel::parameterCount;

} // namespace

FitUncertainty::FitUncertainty(const MappingModel& fitted, const std::vector<double>& cameraXY, double error)
    : model(fitted) {
    const int n = static_cast<int>(cameraXY.size() / 2);
    const int freedom = 2 * n - P;
    if (freedom < 1)
        return;
    sigma = std::max(std::sqrt(std::max(error, 0.0) / freedom), leastScatter);

    // The parameters differ in scale by twenty orders of magnitude (k3 against h2), so the normal
    // matrix is built on unit columns and the scales put back when the spread is read.
    cv::Mat jacobian(2 * n, P, CV_64F);
    for (int i = 0; i < n; ++i) {
        double gx[P], gy[P];
        gradients(cameraXY[static_cast<size_t>(2 * i)], cameraXY[static_cast<size_t>(2 * i + 1)], gx, gy);
        for (int k = 0; k < P; ++k) {
            jacobian.at<double>(2 * i, k) = gx[k];
            jacobian.at<double>(2 * i + 1, k) = gy[k];
        }
    }
    for (int k = 0; k < P; ++k) {
        const double norm = cv::norm(jacobian.col(k));
        if (!(norm > 0.0) || !std::isfinite(norm))
            return;
        columnScale[k] = norm;
        jacobian.col(k) /= norm;
    }
    const cv::Mat normal = jacobian.t() * jacobian;
    cv::SVD svd(normal, cv::SVD::FULL_UV);
    const double largest = svd.w.at<double>(0);
    // A direction the points do not pin down (relative singular value below 1e-12) leaves the
    // model undetermined.
    if (!(svd.w.at<double>(P - 1) > 1e-12 * largest))
        return;
    cv::Mat inverse;
    cv::invert(normal, inverse, cv::DECOMP_SVD);
    for (int r = 0; r < P; ++r) {
        for (int c = 0; c < P; ++c)
            covariance[r][c] = inverse.at<double>(r, c);
    }
    determined = true;
}

void FitUncertainty::gradients(double x, double y, double (&gx)[P], double (&gy)[P]) const {
    using M = MappingModel;
    const auto& p = model.p;
    const double dx = x - p[M::Cx];
    const double dy = y - p[M::Cy];
    const double s = dx * dx + dy * dy;
    const double f = 1.0 + p[M::K1] * s + p[M::K2] * s * s + p[M::K3] * s * s * s;
    const double kk = p[M::K1] + 2.0 * p[M::K2] * s + 3.0 * p[M::K3] * s * s;
    const double u = f * dx + p[M::Cx];
    const double v = f * dy + p[M::Cy];
    const double w = p[M::H6] * u + p[M::H7] * v + 1.0;
    const double sx = (p[M::H0] * u + p[M::H1] * v + p[M::H2]) / w;
    const double sy = (p[M::H3] * u + p[M::H4] * v + p[M::H5]) / w;
    const double xu = (p[M::H0] - sx * p[M::H6]) / w, xv = (p[M::H1] - sx * p[M::H7]) / w;
    const double yu = (p[M::H3] - sy * p[M::H6]) / w, yv = (p[M::H4] - sy * p[M::H7]) / w;
    // Derivatives of (u, v) by cx, cy, k1, k2, k3.
    const double ucx = 1.0 - f - 2.0 * kk * dx * dx, vcx = -2.0 * kk * dx * dy;
    const double ucy = -2.0 * kk * dx * dy, vcy = 1.0 - f - 2.0 * kk * dy * dy;
    const double lens[5][2] = {
        {ucx, vcx}, {ucy, vcy}, {dx * s, dy * s}, {dx * s * s, dy * s * s}, {dx * s * s * s, dy * s * s * s}};
    gx[M::H0] = u / w, gx[M::H1] = v / w, gx[M::H2] = 1.0 / w;
    gx[M::H3] = 0.0, gx[M::H4] = 0.0, gx[M::H5] = 0.0;
    gx[M::H6] = -sx * u / w, gx[M::H7] = -sx * v / w;
    gy[M::H0] = 0.0, gy[M::H1] = 0.0, gy[M::H2] = 0.0;
    gy[M::H3] = u / w, gy[M::H4] = v / w, gy[M::H5] = 1.0 / w;
    gy[M::H6] = -sy * u / w, gy[M::H7] = -sy * v / w;
    for (int k = 0; k < 5; ++k) {
        gx[M::Cx + k] = xu * lens[k][0] + xv * lens[k][1];
        gy[M::Cx + k] = yu * lens[k][0] + yv * lens[k][1];
    }
}

void FitUncertainty::spreadOverScreen(int screenWidth, int screenHeight, double& rms, double& worst) const {
    rms = worst = std::numeric_limits<double>::infinity();
    if (!determined)
        return;
    double sum = 0.0;
    double largest = 0.0;
    int samples = 0;
    forEachScreenSample(screenWidth, screenHeight, [&](double, double, double spread) {
        const double variance = spread * spread;
        sum += variance;
        largest = std::max(largest, variance);
        ++samples;
    });
    if (samples == 0)
        return;
    rms = std::sqrt(sum / samples);
    worst = std::sqrt(largest);
}

void FitUncertainty::forEachScreenSample(int screenWidth, int screenHeight,
                                         const std::function<void(double, double, double)>& visit) const {
    for (int y = 4; y < 720; y += 16) {
        for (int x = 4; x < 1280; x += 16) {
            double sx = 0.0, sy = 0.0;
            model.cameraToScreen(x, y, sx, sy);
            if (sx >= 0.0 && sy >= 0.0 && sx < screenWidth && sy < screenHeight)
                visit(sx, sy, spreadAt(x, y));
        }
    }
}

double FitUncertainty::spreadAt(double x, double y) const {
    if (!determined)
        return std::numeric_limits<double>::infinity();
    double gx[P], gy[P];
    gradients(x, y, gx, gy);
    double variance = 0.0;
    for (int r = 0; r < P; ++r) {
        const double ax = gx[r] / columnScale[r], ay = gy[r] / columnScale[r];
        for (int c = 0; c < P; ++c) {
            const double bx = gx[c] / columnScale[c], by = gy[c] / columnScale[c];
            variance += covariance[r][c] * (ax * bx + ay * by);
        }
    }
    return std::sqrt(std::max(variance, 0.0)) * sigma;
}

bool FitUncertainty::leverage(double x, double y, double (&hat)[2][2]) const {
    if (!determined)
        return false;
    double g[2][P];
    gradients(x, y, g[0], g[1]);
    for (int a = 0; a < 2; ++a) {
        for (int b = 0; b < 2; ++b) {
            double sum = 0.0;
            for (int r = 0; r < P; ++r) {
                for (int c = 0; c < P; ++c)
                    sum += g[a][r] / columnScale[r] * covariance[r][c] * g[b][c] / columnScale[c];
            }
            hat[a][b] = sum;
        }
    }
    return true;
}

bool FitUncertainty::cameraPointOf(const MappingModel& model, double sx, double sy, double& x, double& y) {
    double best = std::numeric_limits<double>::infinity();
    for (int cy = 0; cy < 720; cy += 16) {
        for (int cx = 0; cx < 1280; cx += 16) {
            double mx = 0.0, my = 0.0;
            model.cameraToScreen(cx, cy, mx, my);
            const double d = std::hypot(mx - sx, my - sy);
            if (d < best) {
                best = d;
                x = cx;
                y = cy;
            }
        }
    }
    if (!std::isfinite(best))
        return false;
    for (int step = 0; step < 8; ++step) {
        double mx = 0.0, my = 0.0, ax = 0.0, ay = 0.0, bx = 0.0, by = 0.0;
        model.cameraToScreen(x, y, mx, my);
        model.cameraToScreen(x + 0.5, y, ax, ay);
        model.cameraToScreen(x, y + 0.5, bx, by);
        const double j00 = (ax - mx) / 0.5, j10 = (ay - my) / 0.5, j01 = (bx - mx) / 0.5,
                     j11 = (by - my) / 0.5;
        const double det = j00 * j11 - j01 * j10;
        if (!(std::fabs(det) > 1e-12))
            return false;
        const double ex = sx - mx, ey = sy - my;
        x += (j11 * ex - j01 * ey) / det;
        y += (-j10 * ex + j00 * ey) / det;
        if (!std::isfinite(x) || !std::isfinite(y))
            return false;
    }
    double mx = 0.0, my = 0.0;
    model.cameraToScreen(x, y, mx, my);
    return std::hypot(mx - sx, my - sy) < 1.0;
}

double FitUncertainty::spreadBeyond(const std::vector<double>& allCameraXY, int screenWidth,
                                    int screenHeight) const {
    double fromFound = 0.0, fromAll = 0.0, worst = 0.0;
    spreadOverScreen(screenWidth, screenHeight, fromFound, worst);
    // The same scatter for both: the full set is judged with this set's residuals.
    const double fullError =
        sigma * sigma * (static_cast<double>(allCameraXY.size()) - MappingModel::parameterCount);
    FitUncertainty(model, allCameraXY, fullError).spreadOverScreen(screenWidth, screenHeight, fromAll, worst);
    if (!std::isfinite(fromFound))
        return fromFound;
    if (!std::isfinite(fromAll))
        return 0.0;
    return std::sqrt(std::max(fromFound * fromFound - fromAll * fromAll, 0.0));
}
