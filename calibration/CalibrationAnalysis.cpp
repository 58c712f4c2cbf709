#include "calibration/CalibrationAnalysis.h"

#include "analysis/MappingModel.h"
#include "analysis/PatternAnalyzer.h"
#include "calibration/TouchOrder.h"

#include <QLoggingCategory>
#include <algorithm>
#include <cmath>
#include <mutex>

// Defined with the analysis steps, which also run without the controller (tools, tests).
Q_LOGGING_CATEGORY(lcController, "vexaro.calibration", QtWarningMsg)

namespace {
// Guards the process-wide pattern analyzer for the flows: the image analysis on its worker and
// the touched-point fits on the GUI thread.
std::mutex analyzerLock;
} // namespace

CalibrationAnalysis::AutoFit
CalibrationAnalysis::analyseImages(const cv::Mat& dark, const cv::Mat& bright, const cv::Mat& pattern,
                                   cv::Mat& work, const QPointF* targets, int targetCount, QSize screen,
                                   int lens, int ceiling, int rear, const TweakRecord& stored, int fwMinor,
                                   bool tuning, const std::atomic<bool>* cancelled) {
    const std::lock_guard<std::mutex> lock(analyzerLock);
    AutoFit result;
    const auto cancelNow = [cancelled, &result] {
        result.cancelled = cancelled && cancelled->load();
        return result.cancelled;
    };
    if (cancelNow())
        return result;
    PatternAnalyzer& analyzer = PatternAnalyzer::instance();
    analyzer.normalisePattern(dark, bright, pattern, work);
    analyzer.clearDetections();

    // Offsets learned by an earlier tuning apply to the lens type they were learned with.
    const bool useStored = lens >= 1 && lens <= 3 && stored.count > 0 && stored.lens == lens;
    std::array<float, 2 * TweakRecord::maxOffsets> storedOffsets{};
    const int storedCount = useStored ? std::min(stored.count, TweakRecord::maxOffsets) : 0;
    for (int i = 0; i < storedCount; ++i) {
        storedOffsets[static_cast<size_t>(2 * i)] =
            static_cast<float>(stored.offsets[static_cast<size_t>(i)].x());
        storedOffsets[static_cast<size_t>(2 * i + 1)] =
            static_cast<float>(stored.offsets[static_cast<size_t>(i)].y());
    }
    std::array<float, 2 * PatternAnalyzer::maxTargets> points{};
    const int n = std::clamp(targetCount, 0, static_cast<int>(PatternAnalyzer::maxTargets));
    for (int i = 0; i < n; ++i) {
        points[static_cast<size_t>(2 * i)] = static_cast<float>(targets[i].x());
        points[static_cast<size_t>(2 * i + 1)] = static_cast<float>(targets[i].y());
    }
    analyzer.setTargets(points.data(), n, screen.width(), screen.height(), lens, storedCount,
                        storedCount > 0 ? storedOffsets.data() : nullptr, fwMinor);
    analyzer.setMounting(ceiling, rear);
    if (cancelNow())
        return result;
    analyzer.detectTargets(work);
    if (cancelNow())
        return result;

    result.storedCount = storedCount;
    std::copy(storedOffsets.begin(), storedOffsets.begin() + 2 * storedCount, result.storedOffsets.begin());
    result.tuning = tuning;
    if (tuning)
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
    result.ok = analyzer.fitOk;
    result.fitError = analyzer.fitError;
    result.detection = analyzer.markedDetection();
    if (!result.ok) {
        result.failure = analyzer.failure();
        QString missing;
        for (int j : result.failure.missingTargets)
            missing += QStringLiteral(" %1").arg(j);
        qCInfo(lcController).noquote()
            << "calibration failed at the" << AnalysisFailure::stageName(result.failure.stage)
            << "stage:" << QString::fromStdString(result.failure.reason)
            << "(targets not found:" << (missing.isEmpty() ? QStringLiteral(" none") : missing) + ")";
    }
    if (result.ok) {
        result.accuracy =
            PointingAccuracy::ofModelFit(MappingModel::fromArray(result.params.data()), analyzer.fitCameraXY,
                                         analyzer.fitError, screen.width(), screen.height());
    }
    if (result.ok && !result.tuning)
        result.rowLimit = PatternAnalyzer::topRowLimit(result.params.data(), screen.width(), screen.height());
    return result;
}

cv::Point2f CalibrationAnalysis::tuningOffset(const double* params, int target) {
    const PatternAnalyzer& analyzer = PatternAnalyzer::instance();
    const size_t k = static_cast<size_t>(target);
    const cv::Point2f touched = analyzer.correctedPoints[k];
    // The model's local derivative at the touched point turns the screen step into a camera step.
    const MappingModel model = MappingModel::fromArray(params);
    const double h = 0.5;
    const double px = static_cast<double>(touched.x), py = static_cast<double>(touched.y);
    double x0 = 0.0, y0 = 0.0, xu = 0.0, yu = 0.0, xv = 0.0, yv = 0.0;
    model.cameraToScreen(px - h, py, x0, y0);
    model.cameraToScreen(px + h, py, xu, yu);
    const double a = (xu - x0) / (2 * h), c = (yu - y0) / (2 * h);
    model.cameraToScreen(px, py - h, x0, y0);
    model.cameraToScreen(px, py + h, xv, yv);
    const double b = (xv - x0) / (2 * h), d = (yv - y0) / (2 * h);
    const double det = a * d - b * c;
    const double sx = analyzer.drawnCentres()[2 * k] - analyzer.penCentres()[2 * k];
    const double sy = analyzer.drawnCentres()[2 * k + 1] - analyzer.penCentres()[2 * k + 1];
    cv::Point2f shift(0.0f, 0.0f);
    if (std::fabs(det) > 1e-12)
        shift = cv::Point2f(static_cast<float>((d * sx - b * sy) / det),
                            static_cast<float>((a * sy - c * sx) / det));
    return touched + shift - analyzer.rawPoints[k];
}

CalibrationAnalysis::TouchFit CalibrationAnalysis::fitTouchedPoints(const float* moduleSlots,
                                                                    bool semiAutomatic, int ceiling, int rear,
                                                                    int count, const QPointF* windowTargets,
                                                                    QSize screen, int lens, int fwMinor) {
    const std::lock_guard<std::mutex> lock(analyzerLock);
    PatternAnalyzer& analyzer = PatternAnalyzer::instance();
    analyzer.clearCorrected();
    TouchFit result;
    const int* slotOf = TouchOrder::slotTable(semiAutomatic, ceiling, rear, count);
    const int* order = TouchOrder::windowTargetOrder(semiAutomatic, count);
    if (!slotOf || !order)
        return result;
    result.ordered = true;
    result.count = count;

    std::array<float, 2 * PatternAnalyzer::maxTargets> targets{};
    for (int i = 0; i < count; ++i) {
        const int slot = slotOf[i];
        analyzer.correctedPoints[static_cast<size_t>(i)] =
            cv::Point2f(moduleSlots[2 * slot], moduleSlots[2 * slot + 1]);
        const QPointF& t = windowTargets[order[i]];
        targets[static_cast<size_t>(2 * i)] = static_cast<float>(t.x());
        targets[static_cast<size_t>(2 * i + 1)] = static_cast<float>(t.y());
    }
    analyzer.setTargets(targets.data(), count, screen.width(), screen.height(), lens, 0, nullptr, fwMinor);
    analyzer.setMounting(ceiling, rear);
    if (semiAutomatic)
        analyzer.fitAllTargets(false, result.params.data());
    else
        analyzer.fitManualPoints(result.params.data());
    result.ok = analyzer.fitOk;
    result.fitError = analyzer.fitError;
    if (!result.ok)
        return result;
    if (semiAutomatic) {
        for (int i = 0; i < count; ++i) {
            const cv::Point2f offset = tuningOffset(result.params.data(), i);
            analyzer.tweakTable[static_cast<size_t>(i)] = offset;
            result.tweaks[static_cast<size_t>(2 * i)] = offset.x;
            result.tweaks[static_cast<size_t>(2 * i + 1)] = offset.y;
        }
    }
    if (semiAutomatic) {
        result.accuracy =
            PointingAccuracy::ofModelFit(MappingModel::fromArray(result.params.data()), analyzer.fitCameraXY,
                                         analyzer.fitError, screen.width(), screen.height());
    } else {
        // The accepted model's lens part taken out first: a wide lens bends the touched points
        // further from any projective map than the touches scatter.
        const MappingModel model = MappingModel::fromArray(result.params.data());
        std::vector<double> camera, target;
        for (int i = 0; i < count; ++i) {
            const cv::Point2f& c = analyzer.correctedPoints[static_cast<size_t>(i)];
            double u = 0.0, v = 0.0;
            model.undistort(c.x, c.y, u, v);
            camera.insert(camera.end(), {u, v});
            target.insert(target.end(), {static_cast<double>(targets[static_cast<size_t>(2 * i)]),
                                         static_cast<double>(targets[static_cast<size_t>(2 * i + 1)])});
        }
        result.accuracy = PointingAccuracy::ofTouchedPoints(camera, target, screen.width(), screen.height());
    }
    result.rowLimit = PatternAnalyzer::topRowLimit(result.params.data(), screen.width(), screen.height());
    return result;
}
