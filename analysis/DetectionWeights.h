#pragma once

#include <array>

// How much each detection counts in the automatic fits. A fitted element's centre carries the
// variance the image noise leaves it, and those differ several-fold across one calibration (a
// marker's many edges against a disc's one, a dim corner against the bright middle): the fit weighs
// each by the inverse of its variance, relative to the middle one, so the precise detections
// steer the model and the noisy ones do not pull it as far.
class DetectionWeights {
public:
    static constexpr int maxTargets = 25;
    using Table = std::array<double, maxTargets>;
    // Bounds of a weight against the median detection: a variance estimate is itself noisy.
    static constexpr double lowest = 0.33;
    static constexpr double highest = 3.0;

    // All 1: every detection counts alike (touched points, and detections with no variance).
    static Table even();
    // From the first count variances (screen pixels squared; 0 where unknown, which count as the
    // median one).
    static Table fromVariances(const Table& variances, int count);
};
