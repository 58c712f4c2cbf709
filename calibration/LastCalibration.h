#pragma once

#include "calibration/CalibrationAnalysis.h"

#include <QString>
#include <array>
#include <opencv2/core/mat.hpp>
#include <vector>

// The last automatic calibration kept for support: its three camera frames (dark.png, bright.png,
// pattern.png), the pattern frame with every target marked (annotated.png) and result.json with everything
// needed to run the analysis again exactly (screen size, lens, firmware minor, mounting, the stored offsets
// that applied) and its result or failure reason. Each calibration replaces the previous set.
class LastCalibration {
public:
    struct Settings {
        int screenWidth = 0;
        int screenHeight = 0;
        int lens = 0;
        int fwMinor = 10;
        bool ceiling = false;
        bool rear = false;
        bool tuning = false;              // semi-automatic: the fit on the raw detections
        std::vector<float> storedOffsets; // the applied offset pairs; empty for none
    };
    struct Result {
        bool fitOk = false;
        double fitError = 0.0;
        std::array<double, 13> params{};
        int rowLimit = -1;
        QString failureStage; // empty after an accepted fit
        QString failureReason;
        QString failureCause; // AnalysisFailure::causeName
        std::vector<int> missingTargets;
    };

    // $XDG_CACHE_HOME/Vexaro/last-calibration (~/.cache when the variable is unset).
    static QString folder();

    // Writes the set into folder, replacing what was there; false with a reason. annotated: the
    // marked pattern frame (8-bit BGR); an empty one is not written.
    static bool save(const QString& folder, const cv::Mat& dark, const cv::Mat& bright,
                     const cv::Mat& pattern, const Settings& settings, const Result& result, QString& error,
                     const cv::Mat& annotated = cv::Mat());
    // Keeps the frames, the marked pattern frame and the outcome of an automatic analysis in
    // folder(); a failure to write is logged and does not touch the calibration.
    static void keep(const cv::Mat& dark, const cv::Mat& bright, const cv::Mat& pattern, Settings settings,
                     const CalibrationAnalysis::AutoFit& fit, const cv::Mat& annotated);
    // Reads the settings of result.json in folder; false with a reason (bad or out-of-range values
    // included: the file may have been edited).
    static bool loadSettings(const QString& folder, Settings& settings, QString& error);
};
