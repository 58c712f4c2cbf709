#pragma once

#include <array>

// Camera-to-screen mapping of the module: radial undistortion about (cx, cy), then a projective
// map. Thirteen float64 parameters in record order h0..h7, cx, cy, k1, k2, k3 (h8 = 1 implied).
class MappingModel {
public:
    static constexpr int parameterCount = 13;
    enum Index { H0, H1, H2, H3, H4, H5, H6, H7, Cx, Cy, K1, K2, K3 };
    using Parameters = std::array<double, parameterCount>;

    MappingModel() = default;
    explicit MappingModel(const Parameters& parameters)
        : p(parameters) {}
    static MappingModel fromArray(const double* values);

    // s³ correctly rounded, without a call to pow() in the hot loops.
    static double cube(double s);

    void undistort(double x, double y, double& u, double& v) const;
    void cameraToScreen(double x, double y, double& sx, double& sy) const;

    Parameters p{};
};
