// How much each point counts in the automatic fits, from the variances of the detections and what
// an even fit misses the points by.
#include "analysis/DetectionWeights.h"

#include <array>
#include <gtest/gtest.h>

namespace {

constexpr int points = 20;
constexpr int parameters = 13;

// Misses as an even fit leaves them when the detections' noise is all there is.
std::array<double, points> missesOfNoise(const std::array<double, points>& variances) {
    std::array<double, points> misses{};
    for (size_t i = 0; i < points; ++i)
        misses[i] = variances[i] * (1.0 - parameters / (2.0 * points));
    return misses;
}

TEST(DetectionWeights, WhereTheNoiseExplainsTheMissesEachCountsByItsVariance) {
    std::array<double, points> variances{};
    variances.fill(0.04);
    variances[3] = 0.08;  // twice as noisy: half the weight
    variances[7] = 0.02;  // half as noisy: twice
    variances[9] = 4.0;   // far noisier: held at the lowest weight
    variances[11] = 1e-6; // implausibly precise: held at the highest
    std::array<double, points> misses = missesOfNoise(variances);
    variances[12] = 0.0; // not fitted: counts as the median detection
    const DetectionWeights::Table w =
        DetectionWeights::fromScatter(variances.data(), misses.data(), points, parameters);
    EXPECT_NEAR(w[0], 1.0, 1e-9);
    EXPECT_NEAR(w[3], 0.5, 1e-9);
    EXPECT_NEAR(w[7], 2.0, 1e-9);
    EXPECT_DOUBLE_EQ(w[9], DetectionWeights::lowest);
    EXPECT_DOUBLE_EQ(w[11], DetectionWeights::highest);
    EXPECT_NEAR(w[12], 1.0, 1e-9);
    EXPECT_DOUBLE_EQ(w[points], 1.0) << "beyond the points";
}

TEST(DetectionWeights, MissesFarBeyondTheNoiseKeepThePointsAlike) {
    // The pen's offsets that the model cannot follow: misses of a pixel against detections good to
    // a tenth. Weighing by the detections alone would let a few points steer the model there.
    std::array<double, points> variances{};
    variances.fill(0.01);
    variances[3] = 0.04;
    variances[7] = 0.0025;
    std::array<double, points> misses{};
    misses.fill(1.0);
    const DetectionWeights::Table w =
        DetectionWeights::fromScatter(variances.data(), misses.data(), points, parameters);
    EXPECT_NEAR(w[3], 1.0, 0.03);
    EXPECT_NEAR(w[7], 1.0, 0.03);
}

TEST(DetectionWeights, TooFewKnownVariancesCountAlike) {
    std::array<double, points> variances{};
    variances[0] = 0.01;
    variances[1] = 1.0;
    variances[2] = 0.1;
    const std::array<double, points> misses = missesOfNoise(variances);
    EXPECT_EQ(DetectionWeights::fromScatter(variances.data(), misses.data(), points, parameters),
              DetectionWeights::even());
}

} // namespace
