#include "analysis/MappingFit.h"

#include "analysis/DetectionWeights.h"

#include <chrono>
#include <cmath>

namespace {

constexpr int P = MappingModel::parameterCount;

// Solves a·x = b by LU decomposition with partial pivoting; false for a singular matrix (a pivot
// below the threshold OpenCV's LU inversion uses).
bool solveLu(double (&a)[P][P], double (&b)[P], double (&x)[P]) {
    constexpr double singular = 2.220446049250313e-16 * 100.0;
    for (int k = 0; k < P; ++k) {
        int pivot = k;
        for (int i = k + 1; i < P; ++i) {
            if (std::fabs(a[i][k]) > std::fabs(a[pivot][k]))
                pivot = i;
        }
        if (std::fabs(a[pivot][k]) < singular)
            return false;
        if (pivot != k) {
            for (int j = 0; j < P; ++j)
                std::swap(a[k][j], a[pivot][j]);
            std::swap(b[k], b[pivot]);
        }
        const double inv = 1.0 / a[k][k];
        for (int i = k + 1; i < P; ++i) {
            const double factor = a[i][k] * inv;
            if (factor == 0.0)
                continue;
            for (int j = k + 1; j < P; ++j)
                a[i][j] -= factor * a[k][j];
            b[i] -= factor * b[k];
        }
    }
    for (int i = P - 1; i >= 0; --i) {
        double sum = b[i];
        for (int j = i + 1; j < P; ++j)
            sum -= a[i][j] * x[j];
        x[i] = sum / a[i][i];
    }
    return true;
}

} // namespace

void MappingFit::setPoints(const float* cameraXY, const double* targetXY, int count, const double* weights) {
    n = count < 0 ? 0 : (count > maxPoints ? maxPoints : count);
    for (int i = 0; i < n; ++i) {
        const size_t k = static_cast<size_t>(i);
        camX[k] = static_cast<double>(cameraXY[2 * i]);
        camY[k] = static_cast<double>(cameraXY[2 * i + 1]);
        tgtX[k] = targetXY[2 * i];
        tgtY[k] = targetXY[2 * i + 1];
        weight[k] = weights ? weights[i] : 1.0;
    }
}

double MappingFit::forward() {
    using M = MappingModel;
    double e = 0.0;
    for (size_t i = 0; i < static_cast<size_t>(n); ++i) {
        const double dx = camX[i] - p[M::Cx];
        const double dy = camY[i] - p[M::Cy];
        const double s = dx * dx + dy * dy;
        const double f = 1.0 + p[M::K1] * s + p[M::K2] * (s * s) + p[M::K3] * (s * s * s);
        const double u = static_cast<double>(static_cast<float>(f * dx + p[M::Cx]));
        const double v = static_cast<double>(static_cast<float>(f * dy + p[M::Cy]));
        const double w = p[M::H6] * u + p[M::H7] * v + 1.0;
        undU[i] = u;
        undV[i] = v;
        predX[i] = (p[M::H0] * u + p[M::H1] * v + p[M::H2]) / w;
        predY[i] = (p[M::H3] * u + p[M::H4] * v + p[M::H5]) / w;
        const double ex = tgtX[i] - predX[i];
        const double ey = tgtY[i] - predY[i];
        e += weight[i] * (ex * ex + ey * ey);
    }
    return e;
}

void MappingFit::step(double lambda, int variant) {
    using M = MappingModel;
    double normal[P][P] = {};
    double rhs[P] = {};
    const bool oddVariant = (variant & 1) != 0;
    for (size_t i = 0; i < static_cast<size_t>(n); ++i) {
        const double u = undU[i], v = undV[i];
        const double xt = tgtX[i], yt = tgtY[i];
        const double w = p[M::H6] * u + p[M::H7] * v + 1.0;
        const double nX = p[M::H0] * u + p[M::H1] * v + p[M::H2];
        const double nY = p[M::H3] * u + p[M::H4] * v + p[M::H5];
        const double w2 = w * w;
        const double dXdu = (p[M::H0] * w - p[M::H6] * nX) / w2;
        const double dXdv = (p[M::H1] * w - p[M::H7] * nX) / w2;
        const double dYdu = (p[M::H3] * w - p[M::H6] * nY) / w2;
        const double dYdv = (p[M::H4] * w - p[M::H7] * nY) / w2;
        const double dx = camX[i] - p[M::Cx];
        const double dy = camY[i] - p[M::Cy];
        const double s = dx * dx + dy * dy;
        const double s2 = s * s;
        const double s3 = s * s * s;
        const double q = p[M::K1] * s + p[M::K2] * s2 + p[M::K3] * s3;
        const double kk = p[M::K1] + 2.0 * p[M::K2] * s + 3.0 * p[M::K3] * s2;
        const double dudcx = -q - 2.0 * kk * dx * dx;
        const double cross = -2.0 * kk * dx * dy;
        const double dvdcy = -q - 2.0 * kk * dy * dy;
        const double rX[P] = {oddVariant ? xt / w : u / w,
                              oddVariant ? yt / w : v / w,
                              1.0 / w,
                              0.0,
                              0.0,
                              0.0,
                              -xt * u / w,
                              -xt * v / w,
                              dXdu * dudcx + dXdv * cross,
                              dXdu * cross + dXdv * dvdcy,
                              dXdu * dx * s + dXdv * dy * s,
                              dXdu * dx * s2 + dXdv * dy * s2,
                              dXdu * dx * s3 + dXdv * dy * s3};
        const double rY[P] = {0.0,
                              0.0,
                              0.0,
                              u / w,
                              v / w,
                              1.0 / w,
                              -yt * u / w,
                              -yt * v / w,
                              dYdu * dudcx + dYdv * cross,
                              dYdu * cross + dYdv * dvdcy,
                              dYdu * dx * s + dYdv * dy * s,
                              dYdu * dx * s2 + dYdv * dy * s2,
                              dYdu * dx * s3 + dYdv * dy * s3};
        const double wi = weight[i];
        const double ex = wi * (xt - predX[i]);
        const double ey = wi * (yt - predY[i]);
        for (int r = 0; r < P; ++r) {
            for (int c = r; c < P; ++c)
                normal[r][c] += wi * (rX[r] * rX[c] + rY[r] * rY[c]);
            rhs[r] += rX[r] * ex + rY[r] * ey;
        }
    }
    for (int r = 0; r < P; ++r) {
        for (int c = 0; c < r; ++c)
            normal[r][c] = normal[c][r];
        normal[r][r] += lambda;
    }
    double delta[P] = {};
    if (!solveLu(normal, rhs, delta))
        return; // singular: zero step, the parameters stay
    for (int k = 0; k < P; ++k)
        p[static_cast<size_t>(k)] += delta[k];
}

MappingFit::Result MappingFit::runFit(const MappingModel::Parameters& start, int variant) {
    using Clock = std::chrono::steady_clock;
    double lambda = 0.001;
    p = start;
    double e = forward();
    const Clock::time_point started = Clock::now();
    int iterations = 0;
    bool raised = false;
    MappingModel::Parameters before = p;
    bool done = false;
    while (!done && (e > 16.0 || lambda < 1e7)) {
        const double ePrev = e;
        before = p;
        step(lambda, variant);
        e = forward();
        for (;;) {
            if (Clock::now() - started > std::chrono::milliseconds(runTimeCapMs)) {
                done = true;
                break;
            }
            if (e >= ePrev) {
                lambda *= 10.0;
                if (soundSteps) {
                    p = before;
                    forward();
                }
                step(lambda, variant);
                e = forward();
                raised = true;
                if (lambda > 1e7) {
                    done = true;
                    break;
                }
                continue;
            }
            if (raised) {
                lambda /= 10.0;
                raised = false;
            } else {
                lambda = 0.001;
            }
            ++iterations;
            if (iterations > iterationCap)
                done = true;
            break;
        }
        if (done && soundSteps && e >= ePrev) {
            p = before;
            e = forward();
        }
    }
    Result result;
    result.params = p;
    result.error = e;
    result.iterations = iterations;
    result.finalDamping = lambda;
    return result;
}

MappingFit::Result MappingFit::fitMultiStart(bool allStarts, const LensPreset& preset,
                                             const std::array<double, 8>& seedStart) {
    using M = MappingModel;
    MappingModel::Parameters common{};
    common[M::H0] = 1.0;
    common[M::H4] = 1.0;
    common[M::Cx] = 640.0;
    common[M::Cy] = 360.0;
    const int runs = allStarts ? 6 : 2;
    Result best;
    for (int run = 0; run < runs; ++run) {
        MappingModel::Parameters start = common;
        if (run < 2) {
            start[M::Cy] = 480.0;
        } else {
            start[M::Cx] = preset.cx;
            start[M::Cy] = preset.cy;
            start[M::K1] = preset.k1;
            start[M::K2] = preset.k2;
            start[M::K3] = preset.k3;
        }
        if (run >= 4) {
            for (size_t k = 0; k < seedStart.size(); ++k)
                start[k] = seedStart[k];
        }
        const Result result = runFit(start, run);
        if (run == 0 || result.error < best.error)
            best = result;
    }
    return best;
}

MappingFit::Result MappingFit::fitWeighted(bool allStarts, const LensPreset& preset,
                                           const std::array<double, 8>& seedStart, const double* variances) {
    weight.fill(1.0);
    const Result even = fitMultiStart(allStarts, preset, seedStart);
    if (!variances || n == 0)
        return even;
    p = even.params;
    forward();
    std::array<double, maxPoints> misses{};
    for (size_t i = 0; i < static_cast<size_t>(n); ++i)
        misses[i] = (tgtX[i] - predX[i]) * (tgtX[i] - predX[i]) + (tgtY[i] - predY[i]) * (tgtY[i] - predY[i]);
    const DetectionWeights::Table weights =
        DetectionWeights::fromScatter(variances, misses.data(), n, MappingModel::parameterCount);
    std::copy(weights.begin(), weights.begin() + n, weight.begin());
    Result weighted = runFit(even.params, 0);
    weighted.iterations += even.iterations;
    return weighted;
}
