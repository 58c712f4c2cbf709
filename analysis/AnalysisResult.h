#pragma once

#include "analysis/AnalysisFailure.h"
#include "analysis/DetectionReport.h"
#include "analysis/PointingAccuracy.h"

#include <array>
#include <opencv2/core/mat.hpp>
#include <opencv2/core/types.hpp>
#include <vector>

// What one automatic analysis found, as a value: the fitted model or why there is none, the
// detections, and how long each step took.
struct AnalysisResult {
    static constexpr int maxTargets = 25;
    using PointTable = std::array<cv::Point2f, maxTargets>;
    // A detection table's entry holds a point (missing ones stay at (0, 0)).
    static bool isFound(const cv::Point2f& point) { return point.x > 3.0f && point.y > 3.0f; }

    bool ok = false;
    bool framesUsable = false; // the three frames were equal-sized 8-bit images
    bool cancelled = false;    // stopped between steps on request: nothing else is known
    bool tuning = false;       // the semi-automatic fit was accepted: the run goes on to the touch phase
    bool fellBack = false;     // the semi-automatic fit failed, the automatic one did not
    std::array<double, 13> params{}; // the model, when a fit ran
    double fitError = 0.0;           // of the last fit the run made, accepted or not
    int fitIterations = 0;
    // Root mean square spread over the screen that the automatic fit's missing targets add (see
    // FitUncertainty); 0 with every target found.
    double fitSpread = 0.0;
    std::vector<double> fitCameraXY; // the camera points (x, y pairs) of the last fit
    int rowLimit = -1;               // of the model, known when ok
    PointingAccuracy accuracy;       // known when ok
    AnalysisFailure failure;         // why, when not ok
    DetectionReport detection;       // every target marked, whether or not the fit was accepted
    // Per target: the detection in camera pixels ((0, 0) when missing), and with the offsets applied.
    PointTable rawPoints{};
    PointTable correctedPoints{};
    int found = 0;      // targets detected
    cv::Mat normalised; // the frames in one image, as detected
    struct Timings {
        double normalise = 0.0, detect = 0.0, fit = 0.0, rowLimit = 0.0;
    } ms;
};
