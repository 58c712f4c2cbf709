#pragma once

#include <array>

// How much each detection counts in the automatic fits. A fitted element's centre carries the
// variance the image noise leaves it, and those differ several-fold across one calibration (a
// marker's many edges against a disc's one, a dim corner against the bright middle). What the
// points miss the model by holds that noise and whatever the model cannot follow (the pen's
// offsets added by the lens's tables, a lens beyond the model): each point counts by the inverse
// of its own variance plus the part of the misses the noise does not explain, so the weights
// follow the detections where their noise dominates and stay even where it does not.
class DetectionWeights {
public:
    static constexpr int maxTargets = 25;
    using Table = std::array<double, maxTargets>;
    // Bounds of a weight against the median point's: a variance estimate is itself noisy.
    static constexpr double lowest = 0.33;
    static constexpr double highest = 3.0;

    // All 1: every point counts alike.
    static Table even();
    // For n points: variances of their detections (screen pixels squared, both axes; 0 where
    // unknown, which count as the median one), the squared misses of an even fit to them, and
    // the model's parameter count.
    static Table fromScatter(const double* variances, const double* misses, int n, int parameters);
};
