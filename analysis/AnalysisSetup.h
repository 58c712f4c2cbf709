#pragma once

#include "analysis/LensType.h"

#include <array>
#include <atomic>
#include <opencv2/core/mat.hpp>
#include <opencv2/core/types.hpp>
#include <vector>

struct CircleBounds;

// The three frames of an automatic calibration as the camera took them: the projection black,
// white, and showing the pattern.
struct CalibrationFrames {
    cv::Mat dark, bright, pattern;
};

// Everything an analysis reads besides the frames, as values: the screen and how the pattern was
// drawn on it, the module's lens and firmware, and what an earlier tuning stored.
struct AnalysisSetup {
    int screenWidth = 0;
    int screenHeight = 0;
    // The automatic targets row by row (at most 25), or for a touched-point fit the targets in the
    // order the points were touched; screen pixels.
    std::vector<cv::Point2f> targets;
    eLens lens = 0;
    int fwMinor = 0;
    // The mounting the window drew the pattern for (0 or 1 each).
    int ceiling = 0;
    int rear = 0;
    // Offsets learned by the last tuning for this lens, per target; empty: the lens's factory ones.
    std::vector<cv::Point2f> storedOffsets;
    // The module's target counts for the lens (those of lens types 1 to 4 unless set).
    int autoTargetCount = 20;
    int manualTargetCount = 16;
    // Semi-automatic: every target fitted on its raw detection, falling back to the automatic fit.
    bool tuning = false;
    // Looked at between the steps; once set, the run ends at the next one. Optional.
    const std::atomic<bool>* cancelled = nullptr;

    // Old behaviours the analysis benchmark measures; the application leaves them as they are.
    struct Faults {
        bool soundFitSteps = true;
        // Disc bounds carried from one run to the next (read before, written back after), as a
        // process-wide analysis once kept them. Null: every run starts afresh.
        CircleBounds* carriedBounds = nullptr;
        // Camera pixels each found target's detection is moved by before the fit, as an element
        // partly covered moves its centre.
        std::array<cv::Point2f, 25> detectionShift{};
    } faults;
};
