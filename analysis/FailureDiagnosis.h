#pragma once

#include "analysis/AnalysisFailure.h"
#include "analysis/DetectionReport.h"

#include <array>
#include <opencv2/core/types.hpp>

// Names the stage at which an automatic analysis failed and its likely cause, from what the
// normalisation, the detection and the fit left behind.
class FailureDiagnosis {
public:
    // Below this bright range (white minus black, grey levels) a failure is put down to the light.
    static constexpr double dimRange = 24.0;
    // Below this fraction of the frame on the projection, the normalisation found no screen.
    static constexpr double minimumProjected = 0.02;

    struct Facts {
        double brightRange = 0.0;
        double projectedFraction = 0.0;
        const DetectionReport* detection = nullptr;
        int count = 0; // automatic target count
        const std::array<cv::Point2f, DetectionReport::maxTargets>* raw = nullptr;
        bool fitRan = false;
        bool fitOk = false;
        double fitError = 0.0;
        int fitPoints = 0;
        // The fit matched its points but leaves the screen away from them uncertain by this much
        // (screen pixels, root mean square); 0 when that was not the refusal.
        double fitSpread = 0.0;
        // The fit was refused because its points do not scatter like noise about one model.
        bool fitInconsistent = false;
        // A target found but left out of the fit as off its place; -1 for none. It counts as
        // missing: the fit had to do without it.
        int droppedTarget = -1;
    };

    static AnalysisFailure diagnose(const Facts& facts);
};
