#include "analysis/TouchedPointFit.h"

#include "analysis/MappingModel.h"
#include "analysis/PatternAnalyzer.h"
#include "analysis/TopRowLimit.h"

#include <algorithm>
#include <cmath>

namespace {

// A tuning offset is applied to a later detection that the fit pairs with its element's drawn
// centre (a marker's lies half a pixel off its target, the pen picture's does not): so the
// touched point is first moved from the pen's centre to that one, through the accepted model.
cv::Point2f tuningOffset(const PatternAnalyzer& analyzer, const double* params, const cv::Point2f& detection,
                         int target) {
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
    return touched + shift - detection;
}

} // namespace

TouchedPointFit fitTouchedPoints(const TouchedPoints& points, const AnalysisSetup& setup) {
    TouchedPointFit result;
    PatternAnalyzer analyzer;
    const int count = static_cast<int>(std::min(
        {points.camera.size(), setup.targets.size(), static_cast<size_t>(PatternAnalyzer::maxTargets)}));
    std::array<float, 2 * PatternAnalyzer::maxTargets> targets{};
    for (size_t i = 0; i < static_cast<size_t>(count); ++i) {
        analyzer.correctedPoints[i] = points.camera[i];
        targets[2 * i] = setup.targets[i].x;
        targets[2 * i + 1] = setup.targets[i].y;
    }
    analyzer.setTargets(targets.data(), count, setup.screenWidth, setup.screenHeight, setup.lens, 0, nullptr,
                        setup.fwMinor);
    analyzer.setMounting(setup.ceiling, setup.rear);
    // The touch phase's own count: the fits take that many points.
    analyzer.setTargetCounts(count, count);
    if (points.semiAutomatic)
        analyzer.fitAllTargets(false, result.params.data());
    else
        analyzer.fitManualPoints(result.params.data());
    result.ok = analyzer.fitOk;
    result.fitError = analyzer.fitError;
    if (!result.ok)
        return result;
    const MappingModel model(result.params);
    if (points.semiAutomatic) {
        for (int i = 0; i < count; ++i) {
            const size_t k = static_cast<size_t>(i);
            const cv::Point2f offset = tuningOffset(analyzer, result.params.data(), points.detections[k], i);
            result.tweaks[2 * k] = offset.x;
            result.tweaks[2 * k + 1] = offset.y;
        }
        result.accuracy = PointingAccuracy::ofModelFit(model, analyzer.fitCameraXY, analyzer.fitError,
                                                       setup.screenWidth, setup.screenHeight);
    } else {
        // The accepted model's lens part taken out first: a wide lens bends the touched points
        // further from any projective map than the touches scatter.
        std::vector<double> camera, target;
        for (int i = 0; i < count; ++i) {
            const size_t k = static_cast<size_t>(i);
            const cv::Point2f& c = analyzer.correctedPoints[k];
            double u = 0.0, v = 0.0;
            model.undistort(c.x, c.y, u, v);
            camera.insert(camera.end(), {u, v});
            target.insert(target.end(),
                          {static_cast<double>(targets[2 * k]), static_cast<double>(targets[2 * k + 1])});
        }
        result.accuracy =
            PointingAccuracy::ofTouchedPoints(camera, target, setup.screenWidth, setup.screenHeight);
    }
    result.rowLimit = TopRowLimit::of(result.params.data(), setup.screenWidth, setup.screenHeight);
    return result;
}
