#pragma once

#include "analysis/AnalysisResult.h"
#include "analysis/TouchedPointFit.h"
#include "calibration/TweakRecord.h"

#include <QPointF>
#include <QSize>
#include <array>
#include <atomic>
#include <opencv2/core/mat.hpp>

// The calibration flows' side of the analysis: what the window drew and the module stores,
// turned into an analysis setup, and the result back. Every call analyses on its own state, so the
// image analysis on its worker and the touched-point fits on the GUI thread never meet.
class CalibrationAnalysis {
public:
    struct AutoFit : AnalysisResult {
        int storedCount = 0; // the stored offsets that applied
        std::array<float, 50> storedOffsets{};
    };
    struct TouchFit : TouchedPointFit {
        bool ordered = false; // false when no order table applies: the run stays where it is
        int count = 0;
    };

    // The three images into a fitted model. targets: the window's 20 automatic targets row by row.
    // cancelled (optional) is looked at between the steps; once set, the run ends at the next one.
    static AutoFit analyseImages(const cv::Mat& dark, const cv::Mat& bright, const cv::Mat& pattern,
                                 const QPointF* targets, int targetCount, QSize screen, int lens, int ceiling,
                                 int rear, const TweakRecord& stored, int fwMinor, bool tuning,
                                 const std::atomic<bool>* cancelled = nullptr);

    // The module's 25 touched-point slots into a fitted model. windowTargets: the window's targets
    // in its own (column by column) numbering; detections: semi-automatic, the raw detections of
    // the run's image analysis.
    static TouchFit fitTouchedPoints(const float* moduleSlots, bool semiAutomatic, int ceiling, int rear,
                                     int count, const QPointF* windowTargets, QSize screen, int lens,
                                     int fwMinor, const AnalysisResult::PointTable& detections = {});
};
