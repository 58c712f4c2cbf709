#include "analysis/ImageAnalysis.h"

#include "analysis/CircleBounds.h"
#include "analysis/MappingModel.h"
#include "analysis/PatternAnalyzer.h"
#include "analysis/TopRowLimit.h"

#include <algorithm>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void setTargetsOf(PatternAnalyzer& analyzer, const AnalysisSetup& setup) {
    std::array<float, 2 * PatternAnalyzer::maxTargets> points{};
    const size_t n = std::min(setup.targets.size(), static_cast<size_t>(PatternAnalyzer::maxTargets));
    for (size_t i = 0; i < n; ++i) {
        points[2 * i] = setup.targets[i].x;
        points[2 * i + 1] = setup.targets[i].y;
    }
    std::array<float, 2 * PatternAnalyzer::maxTargets> stored{};
    const size_t m = std::min(setup.storedOffsets.size(), static_cast<size_t>(PatternAnalyzer::maxTargets));
    for (size_t i = 0; i < m; ++i) {
        stored[2 * i] = setup.storedOffsets[i].x;
        stored[2 * i + 1] = setup.storedOffsets[i].y;
    }
    analyzer.setTargets(points.data(), static_cast<int>(n), setup.screenWidth, setup.screenHeight, setup.lens,
                        static_cast<int>(m), m > 0 ? stored.data() : nullptr, setup.fwMinor);
    analyzer.setMounting(setup.ceiling, setup.rear);
    analyzer.setTargetCounts(setup.autoTargetCount, setup.manualTargetCount);
}

} // namespace

AnalysisResult analyse(const CalibrationFrames& frames, const AnalysisSetup& setup) {
    AnalysisResult result;
    const auto cancelNow = [&setup, &result] {
        result.cancelled = setup.cancelled && setup.cancelled->load();
        return result.cancelled;
    };
    if (cancelNow())
        return result;
    PatternAnalyzer analyzer;
    if (setup.faults.carriedBounds)
        analyzer.carryBounds(*setup.faults.carriedBounds);
    analyzer.setSoundFitSteps(setup.faults.soundFitSteps);

    Clock::time_point started = Clock::now();
    result.normalised = cv::Mat::zeros(frames.pattern.rows, frames.pattern.cols, CV_8UC1);
    result.framesUsable =
        analyzer.normalisePattern(frames.dark, frames.bright, frames.pattern, result.normalised);
    result.ms.normalise = msSince(started);
    analyzer.clearDetections();
    setTargetsOf(analyzer, setup);
    if (cancelNow())
        return result;
    started = Clock::now();
    analyzer.detectTargets(result.normalised);
    result.ms.detect = msSince(started);
    if (setup.faults.carriedBounds)
        *setup.faults.carriedBounds = analyzer.circleBounds();
    for (size_t k = 0; k < setup.faults.detectionShift.size(); ++k) {
        if (PatternAnalyzer::isValid(analyzer.correctedPoints[k]))
            analyzer.correctedPoints[k] += setup.faults.detectionShift[k];
    }
    result.rawPoints = analyzer.rawPoints;
    result.correctedPoints = analyzer.correctedPoints;
    result.found = static_cast<int>(
        std::count_if(result.rawPoints.begin(), result.rawPoints.end(), PatternAnalyzer::isValid));
    if (cancelNow())
        return result;

    started = Clock::now();
    result.tuning = setup.tuning;
    if (setup.tuning)
        analyzer.fitAllTargets(true, result.params.data());
    else
        analyzer.fitAutomatic(result.params.data());
    if (!analyzer.fitOk && result.tuning) {
        if (cancelNow())
            return result;
        result.tuning = false;
        analyzer.fitAutomatic(result.params.data());
        result.fellBack = analyzer.fitOk;
    }
    result.ms.fit = msSince(started);
    result.ok = analyzer.fitOk;
    result.fitError = analyzer.fitError;
    result.fitIterations = analyzer.fitIterations;
    result.fitSpread = analyzer.fitSpread;
    result.fitCameraXY = analyzer.fitCameraXY;
    result.detection = analyzer.markedDetection();
    if (!result.ok) {
        result.failure = analyzer.failure();
        return result;
    }
    result.accuracy = PointingAccuracy::ofModelFit(MappingModel(result.params), analyzer.fitCameraXY,
                                                   analyzer.fitError, setup.screenWidth, setup.screenHeight);
    started = Clock::now();
    result.rowLimit = TopRowLimit::of(result.params.data(), setup.screenWidth, setup.screenHeight);
    result.ms.rowLimit = msSince(started);
    return result;
}

AnalysisResult fitDetections(const AnalysisResult::PointTable& detections, const AnalysisSetup& setup,
                             const DetectionWeights::Table* variances) {
    AnalysisResult result;
    PatternAnalyzer analyzer;
    analyzer.setSoundFitSteps(setup.faults.soundFitSteps);
    setTargetsOf(analyzer, setup);
    if (variances)
        analyzer.setDetectionVariances(*variances);
    analyzer.rawPoints = detections;
    analyzer.correctedPoints = detections;
    result.rawPoints = detections;
    result.correctedPoints = detections;
    result.ok = analyzer.fitAutomatic(result.params.data());
    result.fitError = analyzer.fitError;
    result.fitIterations = analyzer.fitIterations;
    result.fitSpread = analyzer.fitSpread;
    result.fitCameraXY = analyzer.fitCameraXY;
    return result;
}
