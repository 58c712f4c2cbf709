#pragma once

#include "analysis/LensPreset.h"
#include "analysis/MappingModel.h"

#include <array>

// Damped least-squares fit of the 13 model parameters to camera points and their screen targets,
// from several starts. Single precision for the undistorted points and s·s·s inside, as the
// module's own fit does, so both arrive at the same parameters.
class MappingFit {
public:
    static constexpr int maxPoints = 25;
    static constexpr int runTimeCapMs = 2000;
    static constexpr int iterationCap = 4096;

    struct Result {
        MappingModel::Parameters params{};
        double error = 0.0;
        int iterations = 0;
        // The damping the run ended with: above 1e7 when no step could lower the error any more
        // (the normal end), not when a cap stopped it.
        double finalDamping = 0.0;
    };

    // At most maxPoints pairs are kept. weights (optional, one per pair): how much each pair's
    // squared miss counts, e.g. the inverse of its detection's variance; all 1 when null.
    void setPoints(const float* cameraXY, const double* targetXY, int count, const double* weights = nullptr);
    int pointCount() const { return n; }

    // One run from the given start with Jacobian variant 0..5.
    Result runFit(const MappingModel::Parameters& start, int variant);
    // Two runs (allStarts false) or six, the smallest final error wins, the earlier on a tie.
    Result fitMultiStart(bool allStarts, const LensPreset& preset, const std::array<double, 8>& seedStart);
    // fitMultiStart with the points alike, then, given the variances of their detections (screen
    // pixels squared; null for none), a run from there with each weighted by DetectionWeights.
    Result fitWeighted(bool allStarts, const LensPreset& preset, const std::array<double, 8>& seedStart,
                       const double* variances);

    // A rejected step is undone before the damped retry, and a last step that made the error
    // worse is rolled back. Off (a fault switch for the benchmark): the retry adds its step to the
    // rejected one and the fit ends on whatever its last step left.
    bool soundSteps = true;

private:
    double forward();
    void step(double lambda, int variant);

    int n = 0;
    std::array<double, maxPoints> camX{}, camY{}, tgtX{}, tgtY{}, weight{};
    std::array<double, maxPoints> undU{}, undV{}, predX{}, predY{};
    MappingModel::Parameters p{};
};
