#pragma once

#include "analysis/AnalysisSetup.h"
#include "analysis/PointingAccuracy.h"

#include <array>
#include <opencv2/core/types.hpp>
#include <vector>

// Where the module saw the pen at each target of a touch phase, in target order.
struct TouchedPoints {
    std::vector<cv::Point2f> camera;
    bool semiAutomatic = false;
    // Semi-automatic: the raw detections of the same run's image analysis, per target; the
    // tuning offsets lead from them to the touched points.
    std::array<cv::Point2f, 25> detections{};
};

struct TouchedPointFit {
    bool ok = false;
    std::array<double, 13> params{};
    double fitError = 0.0; // of the fit, accepted or not
    int rowLimit = -1;
    PointingAccuracy accuracy; // known when ok
    // Semi-automatic, per target: where the pen was seen minus where the detection would have
    // been, had the element been drawn where the pen picture was.
    std::array<float, 50> tweaks{};
};

// The model from the touched points; setup.targets are the touched targets in the same order.
TouchedPointFit fitTouchedPoints(const TouchedPoints& points, const AnalysisSetup& setup);
