#include "analysis/DetectionWeights.h"

#include <algorithm>
#include <vector>

DetectionWeights::Table DetectionWeights::even() {
    Table weights;
    weights.fill(1.0);
    return weights;
}

DetectionWeights::Table DetectionWeights::fromVariances(const Table& variances, int count) {
    Table weights = even();
    const int n = std::clamp(count, 0, maxTargets);
    std::vector<double> known;
    for (int j = 0; j < n; ++j) {
        if (variances[static_cast<size_t>(j)] > 0.0)
            known.push_back(variances[static_cast<size_t>(j)]);
    }
    // Too few to tell a typical detection: every one counts alike.
    if (known.size() < 4)
        return weights;
    std::nth_element(known.begin(), known.begin() + static_cast<long>(known.size() / 2), known.end());
    const double median = known[known.size() / 2];
    for (int j = 0; j < n; ++j) {
        const double v = variances[static_cast<size_t>(j)];
        if (v > 0.0)
            weights[static_cast<size_t>(j)] = std::clamp(median / v, lowest, highest);
    }
    return weights;
}
