#include "calibration/CalibrationAnalysis.h"

#include "analysis/ImageAnalysis.h"
#include "calibration/TouchOrder.h"
#include "device/TargetCounts.h"

#include <QLoggingCategory>
#include <algorithm>

Q_LOGGING_CATEGORY(lcCalibrationAnalysis, "vexaro.calibration.analysis", QtWarningMsg)

namespace {

AnalysisSetup setupFor(QSize screen, int lens, int ceiling, int rear, int fwMinor) {
    AnalysisSetup setup;
    setup.screenWidth = screen.width();
    setup.screenHeight = screen.height();
    setup.lens = lens;
    setup.ceiling = ceiling;
    setup.rear = rear;
    setup.fwMinor = fwMinor;
    setup.autoTargetCount = TargetCounts::autoTargetCount.load();
    setup.manualTargetCount = TargetCounts::manualTargetCount.load();
    return setup;
}

} // namespace

CalibrationAnalysis::AutoFit
CalibrationAnalysis::analyseImages(const cv::Mat& dark, const cv::Mat& bright, const cv::Mat& pattern,
                                   const QPointF* targets, int targetCount, QSize screen, int lens,
                                   int ceiling, int rear, const TweakRecord& stored, int fwMinor, bool tuning,
                                   const std::atomic<bool>* cancelled) {
    AnalysisSetup setup = setupFor(screen, lens, ceiling, rear, fwMinor);
    const int n = std::clamp(targetCount, 0, AnalysisResult::maxTargets);
    for (int i = 0; i < n; ++i)
        setup.targets.emplace_back(static_cast<float>(targets[i].x()), static_cast<float>(targets[i].y()));
    // Offsets learned by an earlier tuning apply to the lens type they were learned with.
    const bool useStored = lens >= 1 && lens <= 3 && stored.count > 0 && stored.lens == lens;
    const int storedCount = useStored ? std::min(stored.count, TweakRecord::maxOffsets) : 0;
    for (int i = 0; i < storedCount; ++i) {
        const QPointF& offset = stored.offsets[static_cast<size_t>(i)];
        setup.storedOffsets.emplace_back(static_cast<float>(offset.x()), static_cast<float>(offset.y()));
    }
    setup.tuning = tuning;
    setup.cancelled = cancelled;

    AutoFit result;
    static_cast<AnalysisResult&>(result) = analyse({dark, bright, pattern}, setup);
    result.storedCount = storedCount;
    for (int i = 0; i < storedCount; ++i) {
        result.storedOffsets[static_cast<size_t>(2 * i)] = setup.storedOffsets[static_cast<size_t>(i)].x;
        result.storedOffsets[static_cast<size_t>(2 * i + 1)] = setup.storedOffsets[static_cast<size_t>(i)].y;
    }
    if (!result.ok && !result.cancelled) {
        QString missing;
        for (int j : result.failure.missingTargets)
            missing += QStringLiteral(" %1").arg(j);
        qCInfo(lcCalibrationAnalysis).noquote()
            << "calibration failed at the" << AnalysisFailure::stageName(result.failure.stage)
            << "stage:" << QString::fromStdString(result.failure.reason)
            << "(targets not found:" << (missing.isEmpty() ? QStringLiteral(" none") : missing) + ")";
    }
    return result;
}

CalibrationAnalysis::TouchFit
CalibrationAnalysis::fitTouchedPoints(const float* moduleSlots, bool semiAutomatic, int ceiling, int rear,
                                      int count, const QPointF* windowTargets, QSize screen, int lens,
                                      int fwMinor, const AnalysisResult::PointTable& detections) {
    TouchFit result;
    const int* slotOf = TouchOrder::slotTable(semiAutomatic, ceiling, rear, count);
    const int* order = TouchOrder::windowTargetOrder(semiAutomatic, count);
    if (!slotOf || !order)
        return result;
    result.ordered = true;
    result.count = count;
    AnalysisSetup setup = setupFor(screen, lens, ceiling, rear, fwMinor);
    TouchedPoints points;
    points.semiAutomatic = semiAutomatic;
    points.detections = detections;
    for (int i = 0; i < count; ++i) {
        const int slot = slotOf[i];
        points.camera.emplace_back(moduleSlots[2 * slot], moduleSlots[2 * slot + 1]);
        const QPointF& t = windowTargets[order[i]];
        setup.targets.emplace_back(static_cast<float>(t.x()), static_cast<float>(t.y()));
    }
    static_cast<TouchedPointFit&>(result) = ::fitTouchedPoints(points, setup);
    return result;
}
