#include "analysis/DetectionWeights.h"

#include <algorithm>
#include <vector>

DetectionWeights::Table DetectionWeights::even() {
    Table weights;
    weights.fill(1.0);
    return weights;
}

DetectionWeights::Table DetectionWeights::fromScatter(const double* variances, const double* misses, int n,
                                                      int parameters) {
    Table weights = even();
    n = std::clamp(n, 0, maxTargets);
    std::vector<double> known;
    for (int i = 0; i < n; ++i) {
        if (variances[i] > 0.0)
            known.push_back(variances[i]);
    }
    // Too few to tell a typical detection: every one counts alike.
    if (known.size() < 4)
        return weights;
    std::nth_element(known.begin(), known.begin() + static_cast<long>(known.size() / 2), known.end());
    const double median = known[known.size() / 2];
    // A fit of this many parameters to 2n coordinates leaves each miss this share of its noise.
    const double share = std::max(0.1, 1.0 - parameters / (2.0 * n));
    double noise = 0.0, missed = 0.0;
    for (int i = 0; i < n; ++i) {
        noise += variances[i] > 0.0 ? variances[i] : median;
        missed += misses[i];
    }
    const double beyond = std::max(0.0, (missed / share - noise) / n);
    std::vector<double> raw(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        raw[static_cast<size_t>(i)] = 1.0 / ((variances[i] > 0.0 ? variances[i] : median) + beyond);
    std::vector<double> sorted = raw;
    std::nth_element(sorted.begin(), sorted.begin() + n / 2, sorted.end());
    const double middle = sorted[static_cast<size_t>(n / 2)];
    for (int i = 0; i < n; ++i)
        weights[static_cast<size_t>(i)] = std::clamp(raw[static_cast<size_t>(i)] / middle, lowest, highest);
    return weights;
}
