#pragma once

#include "analysis/MappingModel.h"

#include <vector>

// How far each point a model was fitted to lies from where the model puts it, in camera pixels,
// and whether one point stands out from the rest: a partly covered disc is found with its centre
// pulled towards the uncovered part, which the fit then spreads over the whole screen.
class FitResiduals {
public:
    // A residual below this (camera pixels) is never called an outlier: a corner target the fit
    // leans on comes out at over a pixel from clean frames of a small screen drawn on whole pixels.
    static constexpr double leastOutlier = 1.5;
    // An outlier lies this many times the typical detection scatter from its place.
    static constexpr double outlierFactor = 4.5;
    // Typical scatter (camera pixels) the noisiest frames worth calibrating from leave at most;
    // beyond it the detections are not noise about one model but some of them are misplaced.
    static constexpr double mostScatter = 0.55;

    // cameraXY and screenXY: n (x, y) pairs each, in the same order.
    FitResiduals(const MappingModel& model, const std::vector<double>& cameraXY,
                 const std::vector<double>& screenXY);

    // Per point: its residual were it left out of the fit, in camera pixels.
    const std::vector<double>& inCameraPixels() const { return residuals; }
    // Typical scatter per camera coordinate, from the median residual (robust to one outlier).
    double scatter() const;
    // Index of the one point whose residual stands out; -1 when none does.
    int outlier() const;
    bool tooScattered() const { return scatter() > mostScatter; }

private:
    std::vector<double> residuals;
};
