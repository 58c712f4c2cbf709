#pragma once

#include "analysis/AnalysisFailure.h"
#include "analysis/DetectionReport.h"
#include "analysis/PointingAccuracy.h"
#include "calibration/TweakRecord.h"

#include <QPointF>
#include <QSize>
#include <array>
#include <atomic>
#include <opencv2/core/mat.hpp>

// The analysis steps of the calibration flows, between the captured images (or the touched
// points) and the record sent to the module, on the process-wide pattern analyzer. The image
// analysis runs on a worker thread, the touched-point fits on the GUI thread; each takes the
// analyzer for its whole run, so the two never meet on it.
class CalibrationAnalysis {
public:
    struct Fit {
        bool ok = false;
        // Zeroed 256-byte result buffer; the first 13 values are the model.
        std::array<double, 32> params{};
        int rowLimit = -1;
        double fitError = 0.0;     // of the last fit the run made, accepted or not
        PointingAccuracy accuracy; // known when ok
    };
    struct AutoFit : Fit {
        bool tuning = false;       // still semi-automatic: go on to the touch phase
        bool fellBack = false;     // the semi-automatic fit failed, the automatic one did not
        bool cancelled = false;    // stopped between steps on request: nothing else is known
        AnalysisFailure failure;   // why, when not ok
        DetectionReport detection; // every target marked, whether or not the fit was accepted
        int storedCount = 0;       // the stored offsets that applied
        std::array<float, 50> storedOffsets{};
    };
    struct TouchFit : Fit {
        bool ordered = false; // false when no order table applies: the run stays where it is
        int count = 0;
        // Per target (semi-automatic): where the pen was seen minus where the detection would have
        // been, had the element been drawn where the pen picture was (see tuningOffset).
        std::array<float, 50> tweaks{};
    };

    // The three images into a fitted model. targets: the window's 20 automatic targets row by row.
    // cancelled (optional) is looked at between the steps; once set, the run ends at the next one.
    static AutoFit analyseImages(const cv::Mat& dark, const cv::Mat& bright, const cv::Mat& pattern,
                                 cv::Mat& work, const QPointF* targets, int targetCount, QSize screen,
                                 int lens, int ceiling, int rear, const TweakRecord& stored, int fwMinor,
                                 bool tuning, const std::atomic<bool>* cancelled = nullptr);

    // The module's 25 touched-point slots into a fitted model. windowTargets: the window's targets
    // in its own (column by column) numbering.
    static TouchFit fitTouchedPoints(const float* moduleSlots, bool semiAutomatic, int ceiling, int rear,
                                     int count, const QPointF* windowTargets, QSize screen, int lens,
                                     int fwMinor);

private:
    // A tuning offset is applied to a later detection that the fit pairs with its element's drawn
    // centre (a marker's lies half a pixel off its target, the pen picture's does not): so the
    // touched point is first moved from the pen's centre to that one, through the accepted model.
    static cv::Point2f tuningOffset(const double* params, int target);
};
