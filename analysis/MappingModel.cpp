#include "analysis/MappingModel.h"

#include <cmath>

MappingModel MappingModel::fromArray(const double* values) {
    MappingModel model;
    for (int i = 0; i < parameterCount; ++i)
        model.p[static_cast<size_t>(i)] = values[i];
    return model;
}

namespace {

// a = hi + lo with each half fitting 26 bits, so products of halves are exact (Veltkamp).
void split(double a, double& hi, double& lo) {
    const double c = 134217729.0 * a; // 2^27 + 1
    hi = c - (c - a);
    lo = a - hi;
}

// a·b = p + e exactly (Dekker), for products far from overflow.
double productError(double a, double b, double p) {
    double ah = 0.0, al = 0.0, bh = 0.0, bl = 0.0;
    split(a, ah, al);
    split(b, bh, bl);
    return ((ah * bh - p) + ah * bl + al * bh) + al * bl;
}

} // namespace

double MappingModel::cube(double s) {
    // s·s exactly as hi + lo, then the product with s with one final rounding: the correctly
    // rounded power, as pow(s, 3) gives it, at the cost of a few multiplications. Done without
    // the library's fused multiply-add: that is AVX code, and switching between it and this
    // file's SSE code costs dearly on threads that some library left with dirty AVX state.
    const double sqHi = s * s;
    if (!(std::fabs(s) < 1e100))
        return sqHi * s; // beyond any camera radius: the split would overflow
    const double sqLo = productError(s, s, sqHi);
    const double cuHi = sqHi * s;
    const double cuLo = productError(sqHi, s, cuHi);
    return cuHi + (cuLo + sqLo * s);
}

void MappingModel::undistort(double x, double y, double& u, double& v) const {
    const double dx = x - p[Cx];
    const double dy = y - p[Cy];
    const double s = dx * dx + dy * dy;
    const double f = 1.0 + p[K1] * s + p[K2] * (s * s) + p[K3] * cube(s);
    u = f * dx + p[Cx];
    v = f * dy + p[Cy];
}

void MappingModel::cameraToScreen(double x, double y, double& sx, double& sy) const {
    double u = 0.0;
    double v = 0.0;
    undistort(x, y, u, v);
    const double w = p[H6] * u + p[H7] * v + 1.0;
    sx = (p[H0] * u + p[H1] * v + p[H2]) / w;
    sy = (p[H3] * u + p[H4] * v + p[H5]) / w;
}
