// How much each detection counts in the automatic fits, from the variances of the fitted centres.
#include "analysis/DetectionWeights.h"

#include <gtest/gtest.h>

namespace {

TEST(DetectionWeights, EachCountsByItsVarianceAgainstTheMedianOne) {
    DetectionWeights::Table variances{};
    for (size_t j = 0; j < 20; ++j)
        variances[j] = 0.04;
    variances[3] = 0.08;  // twice as noisy: half the weight
    variances[7] = 0.02;  // half as noisy: twice
    variances[9] = 4.0;   // far noisier: held at the lowest weight
    variances[11] = 1e-6; // implausibly precise: held at the highest
    variances[12] = 0.0;  // not fitted: counts as the median detection
    const DetectionWeights::Table w = DetectionWeights::fromVariances(variances, 20);
    EXPECT_DOUBLE_EQ(w[0], 1.0);
    EXPECT_DOUBLE_EQ(w[3], 0.5);
    EXPECT_DOUBLE_EQ(w[7], 2.0);
    EXPECT_DOUBLE_EQ(w[9], DetectionWeights::lowest);
    EXPECT_DOUBLE_EQ(w[11], DetectionWeights::highest);
    EXPECT_DOUBLE_EQ(w[12], 1.0);
    EXPECT_DOUBLE_EQ(w[20], 1.0) << "beyond the count";
}

TEST(DetectionWeights, TooFewKnownVariancesCountAlike) {
    DetectionWeights::Table variances{};
    variances[0] = 0.01;
    variances[1] = 1.0;
    variances[2] = 0.1;
    EXPECT_EQ(DetectionWeights::fromVariances(variances, 20), DetectionWeights::even());
}

} // namespace
