#pragma once

#include "analysis/AnalysisResult.h"
#include "analysis/PointingAccuracy.h"

// What one calibration run carries from its analysis to its end.
struct CalibrationRun {
    bool tuning = false;         // the run is semi-automatic (cleared when its fit falls back)
    bool tuningFellBack = false; // the semi-automatic fit failed and the run went on as automatic
    bool fitOk = false;          // the last fit of the run succeeded
    PointingAccuracy accuracy;   // of the last accepted fit of the run
    double fitError = 0.0;       // of the last fit of the run
    // Semi-automatic: the image analysis's raw detections, which the tuning offsets start from.
    AnalysisResult::PointTable detections{};
};
