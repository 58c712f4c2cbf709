#include "analysis/HomographySeed.h"

#include <opencv2/core.hpp>

void HomographySeed::addPair(double u, double v, double screenX, double screenY) {
    if (pairCount >= maxPairs)
        return;
    pairs[static_cast<size_t>(pairCount++)] = {static_cast<float>(u), static_cast<float>(v),
                                               static_cast<float>(screenX), static_cast<float>(screenY)};
}

bool HomographySeed::solve() {
    if (pairCount < 4)
        return false;
    cv::Mat a(2 * pairCount, 9, CV_64F);
    for (int i = 0; i < pairCount; ++i) {
        const Pair& pr = pairs[static_cast<size_t>(i)];
        const double x = pr.u, y = pr.v, sx = pr.x, sy = pr.y;
        const double rowX[9] = {x, y, 1.0, 0.0, 0.0, 0.0, -sx * x, -sx * y, -sx};
        const double rowY[9] = {0.0, 0.0, 0.0, x, y, 1.0, -sy * x, -sy * y, -sy};
        for (int c = 0; c < 9; ++c) {
            a.at<double>(2 * i, c) = rowX[c];
            a.at<double>(2 * i + 1, c) = rowY[c];
        }
    }
    const cv::Mat m = a.t() * a;
    // Jacobi eigen-decomposition with machine-epsilon tolerance; eigenvalues come out descending,
    // so the last row is the eigenvector of the smallest one.
    cv::Mat values, vectors;
    cv::eigen(m, values, vectors);
    for (int c = 0; c < 9; ++c)
        g[static_cast<size_t>(c)] = vectors.at<double>(8, c);
    return true;
}

void HomographySeed::toScreen(double u, double v, double& x, double& y) const {
    const double w = g[6] * u + g[7] * v + g[8];
    x = (g[0] * u + g[1] * v + g[2]) / w;
    y = (g[3] * u + g[4] * v + g[5]) / w;
}

std::array<double, 8> HomographySeed::asStart() const {
    std::array<double, 8> h{};
    for (size_t i = 0; i < h.size(); ++i)
        h[i] = g[i] / g[8];
    return h;
}
