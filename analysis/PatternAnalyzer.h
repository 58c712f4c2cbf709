#pragma once

#include "analysis/AnalysisFailure.h"
#include "analysis/CircleBounds.h"
#include "analysis/DetectionReport.h"
#include "analysis/DetectionWeights.h"
#include "analysis/FitResiduals.h"
#include "analysis/LensType.h"
#include "analysis/MappingModel.h"
#include "analysis/PatternNormaliser.h"

#include <array>
#include <cstdint>
#include <opencv2/core/mat.hpp>
#include <opencv2/core/types.hpp>
#include <vector>

// The analysis state of one calibration run: its targets, the detections and the last fit. One
// instance per run (see analyse() and fitTouchedPoints()), used from one thread.
class PatternAnalyzer {
public:
    static constexpr int maxTargets = 25;
    // Grey levels the detection binarises a smoothed (noisy) capture at.
    static constexpr int smoothedLevels = 9;
    // An automatic fit that lacks targets is refused when its spread over the screen exceeds that
    // of a fit from every target by this (screen pixels, root mean square, added in quadrature):
    // it would place the missing part by guesswork.
    static constexpr double maximumSpread = 0.14;
    using PointTable = std::array<cv::Point2f, maxTargets>;
    using ScreenPoints = std::array<double, 2 * maxTargets>;

    // The black, white and pattern frames into one image: lit pattern near 255, unlit near 0,
    // outside the projection 255 (see PatternNormaliser). False (out untouched) when the frames are
    // not equal-sized 8-bit.
    bool normalisePattern(const cv::Mat& dark, const cv::Mat& bright, const cv::Mat& pattern, cv::Mat& out);

    void clearDetections();
    void clearCorrected();
    // points: count (x, y) pairs in target order; prevOffsets: prevCount stored tweak pairs or null.
    void setTargets(const float* points, int count, int screenWidth, int screenHeight, eLens lens,
                    int prevCount, const float* prevOffsets, int fwMinor);
    // How the window draws the pattern (see DrawnPattern): the automatic fits pair each detection
    // with the centre of its element as drawn. setTargets starts upright (0, 0).
    void setMounting(int ceiling, int rear);
    // The module's counts for the lens: how many automatic and manual targets the fits take.
    void setTargetCounts(int automatic, int manual) {
        automaticTargets = automatic;
        manualTargets = manual;
    }
    // Fills rawPoints and correctedPoints for the automatic target count.
    void detectTargets(const cv::Mat& image);

    // Each writes the 13 parameters to out only when the fit ran; returns fitOk.
    bool fitAutomatic(double* out);
    bool fitAllTargets(bool useRawDetections, double* out);
    bool fitManualPoints(double* out);

    // Why the last automatic analysis failed (Stage::None after an accepted fit): from the last
    // normalisation, detection and fit.
    AnalysisFailure failure() const;
    const DetectionReport& lastDetection() const { return report; }
    // The last detection with every automatic target marked: found, missing or dropped, and where
    // the last fit (when it matched its points) or else the marker seed expects it.
    DetectionReport markedDetection() const;

    static bool isValid(const cv::Point2f& point) { return point.x > 3.0f && point.y > 3.0f; }

    PointTable rawPoints{};
    PointTable correctedPoints{};
    PointTable tweakTable{};
    bool fitOk = false;
    double fitError = 0.0;
    // The camera points (x, y pairs) the last fit was made from.
    std::vector<double> fitCameraXY;
    // Root mean square spread of the screen position the last automatic fit gives across the
    // screen (see FitUncertainty); infinite when its points do not determine the model.
    double fitSpread = 0.0;
    int fitIterations = 0;

    // Read-only views for tools and tests.
    const ScreenPoints& targets() const { return targetXY; }
    // Where the element of each automatic target is drawn: what the detections are paired with. The
    // pen picture of the touch phases is centred on the target itself.
    const ScreenPoints& drawnCentres() const { return drawnXY; }
    // Where the pen picture of the semi-automatic touch phase is centred for each target, in the
    // same frame (mounted, a mirrored centre column lands a pixel off its target).
    const ScreenPoints& penCentres() const { return penXY; }
    const std::array<double, 8>& seedStart() const { return normalisedSeed; }
    int storedFwMinor() const { return fwMinor; }
    eLens lensType() const { return lens; }
    const CircleBounds& circleBounds() const { return bounds; }
    const PatternNormaliser& lastNormalisation() const { return normaliser; }

    // Fault switches, measured by the analysis benchmark: disc bounds carried over from an earlier
    // run, and (off) the old fit steps.
    void carryBounds(const CircleBounds& carried) { bounds = carried; }
    // Off, the fit keeps a rejected step under its damped retry and ends on a last worsening step.
    void setSoundFitSteps(bool sound) { soundFitSteps_ = sound; }
    // Detections given from elsewhere (a benchmark's) with their variances, as detectTargets leaves
    // them (see DetectionWeights).
    void setDetectionVariances(const DetectionWeights::Table& variances) { detectionVariances = variances; }

private:
    // weighted: each point counts by the variance of its last detection (see DetectionWeights),
    // else all alike.
    bool runFit(const PointTable& table, const ScreenPoints& paired, int count, bool allStarts, double* out,
                bool weighted = false);
    // What the corrected detections are paired with. An offset learned by tuning leads from where an
    // element is seen to where the pen is seen at the element's drawn centre; the factory tables
    // were measured against the pen picture on the target pixel, so with them the corrected points
    // are where the pen is seen there.
    const ScreenPoints& correctedPairing() const { return factoryOffsets ? penXY : drawnXY; }
    void pairWithDrawnCentres();
    // Enough valid points for an automatic fit: all but eight, two of them on the sides.
    static bool enoughForAutomatic(const PointTable& table, int count);
    // The target whose detection stands out from the fit's other residuals; -1 for none.
    int outlierOf(const double* params, const PointTable& table, int count) const;
    // The residuals of the last fit's model at the table's valid points.
    FitResiduals scatterOf(const double* params, const PointTable& table, int count) const;
    // The spread of the last fit's model over the screen, from the points it was fitted to.
    double spreadOf(const double* params, const PointTable& table, int count) const;
    int autoCount() const;

    ScreenPoints targetXY{};
    ScreenPoints drawnXY{};
    ScreenPoints penXY{};
    bool factoryOffsets = false; // the tweak table holds the lens's default offsets
    int targetCount = 0;
    int automaticTargets = 20;
    int manualTargets = 16;
    int mountCeiling = 0;
    int mountRear = 0;
    std::uint16_t screenWidth = 0;
    std::uint16_t screenHeight = 0;
    std::uint8_t lens = 0;
    int fwMinor = 0;
    std::array<double, 8> normalisedSeed{};
    CircleBounds bounds;
    PatternNormaliser normaliser;
    DetectionReport report;
    DetectionWeights::Table detectionVariances{}; // of the last detection, 0 where unknown
    bool fitRan = false;
    int fitPoints = 0;
    bool refusedForSpread = false;
    bool refusedForResiduals = false;
    int droppedTarget = -1; // the target the last automatic fit left out as found off its place
    // The model of the last fit and whether it matched its points (within the error limit).
    std::array<double, MappingModel::parameterCount> lastFitParams{};
    bool lastFitMatched = false;
    bool soundFitSteps_ = true;
};
