#pragma once

#include <array>

// Linear start estimate of the projective part from the marker targets: undistorted camera
// points paired with their screen targets, solved as the null vector of AᵀA.
class HomographySeed {
public:
    static constexpr int maxPairs = 9;

    // Ignored once maxPairs pairs are stored.
    void addPair(double u, double v, double screenX, double screenY);
    int count() const { return pairCount; }
    // Needs at least four pairs; false (and coefficients untouched) otherwise.
    bool solve();
    void toScreen(double u, double v, double& x, double& y) const;
    // h0..h7 = g0/g8 .. g7/g8.
    std::array<double, 8> asStart() const;
    const std::array<double, 9>& coefficients() const { return g; }

private:
    struct Pair {
        float u, v, x, y;
    };
    std::array<Pair, maxPairs> pairs{};
    int pairCount = 0;
    std::array<double, 9> g{};
};
