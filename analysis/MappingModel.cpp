#include "analysis/MappingModel.h"

#include <cmath>

MappingModel MappingModel::fromArray(const double* values) {
    MappingModel model;
    for (int i = 0; i < parameterCount; ++i)
        model.p[static_cast<size_t>(i)] = values[i];
    return model;
}

double MappingModel::cube(double s) {
    // s·s exactly as hi + lo, then the product with s with one final rounding: the correctly
    // rounded power, as pow(s, 3) gives it, at the cost of a few multiplications.
    const double sqHi = s * s;
    const double sqLo = std::fma(s, s, -sqHi);
    const double cuHi = sqHi * s;
    const double cuLo = std::fma(sqHi, s, -cuHi);
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
