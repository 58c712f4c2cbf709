#include "AnalysisScene.h"

#include "analysis/ImageAnalysis.h"
#include "calibration/PatternGeometry.h"
#include "calibration/PatternPainter.h"

#include <QDir>
#include <algorithm>
#include <cmath>
#include <opencv2/imgcodecs.hpp>

void AnalysisScene::photograph(void (*screenEdit)(QImage&, const AnalysisScene&)) {
    truth = VirtualScene::groundTruth(width, height, lens, fwMinor, pose);
    const VirtualCamera camera(VirtualScene::mounted(truth, width, height, ceiling, rear), width, height, 2);
    VirtualPhotometry frameLight = light;
    frameLight.seed = light.seed;
    dark = camera.renderUniform(0, frameLight);
    frameLight.seed = light.seed + 1;
    bright = camera.renderUniform(255, frameLight);
    frameLight.seed = light.seed + 2;
    const int drawCeiling = drawnCeiling >= 0 ? drawnCeiling : (ceiling ? 1 : 0);
    const int drawRear = drawnRear >= 0 ? drawnRear : (rear ? 1 : 0);
    QImage screen = PatternPainter::render(width, height, drawCeiling, drawRear);
    if (screenEdit)
        screenEdit(screen, *this);
    pattern = camera.render(screen, frameLight);
}

std::array<float, 40> AnalysisScene::targets() const {
    std::array<float, 40> points{};
    const PatternGeometry::AutomaticTargets t = PatternGeometry::automaticTargets(width, height);
    for (size_t i = 0; i < t.size(); ++i) {
        points[2 * i] = static_cast<float>(t[i].x());
        points[2 * i + 1] = static_cast<float>(t[i].y());
    }
    return points;
}

AnalysisSetup AnalysisScene::setup(bool defaultTweaks) const {
    AnalysisSetup setup;
    setup.screenWidth = width;
    setup.screenHeight = height;
    setup.lens = lens;
    setup.fwMinor = fwMinor;
    // The calibration window tells the analysis how it drew the pattern.
    setup.ceiling = drawnCeiling >= 0 ? drawnCeiling : (ceiling ? 1 : 0);
    setup.rear = drawnRear >= 0 ? drawnRear : (rear ? 1 : 0);
    const std::array<float, 40> points = targets();
    for (size_t i = 0; i < 20; ++i)
        setup.targets.emplace_back(points[2 * i], points[2 * i + 1]);
    if (!defaultTweaks)
        setup.storedOffsets.assign(20, cv::Point2f(0.0f, 0.0f));
    // The module has targets for the known lens types only.
    const bool known = lens >= 1 && lens <= 4;
    setup.autoTargetCount = known ? 20 : 0;
    setup.manualTargetCount = known ? 16 : 0;
    return setup;
}

int AnalysisScene::analyse(std::array<double, 13>& params, bool defaultTweaks) {
    result = ::analyse({dark, bright, pattern}, setup(defaultTweaks));
    params = result.params;
    return result.found;
}

void AnalysisScene::mappingError(const std::array<double, 13>& params, double& rms, double& max) const {
    const MappingModel fitted(params);
    double sum = 0.0;
    int count = 0;
    max = 0.0;
    for (int iy = 0; iy <= 18; ++iy) {
        for (int ix = 0; ix <= 32; ++ix) {
            const double sx = width * (0.025 + 0.95 * ix / 32.0) - 0.5;
            const double sy = height * (0.025 + 0.95 * iy / 18.0) - 0.5;
            double cx = 0.0, cy = 0.0;
            if (!VirtualCamera::screenToCamera(truth, sx, sy, cx, cy))
                continue;
            double fx = 0.0, fy = 0.0;
            fitted.cameraToScreen(cx, cy, fx, fy);
            const double e = std::hypot(fx - sx, fy - sy);
            sum += e * e;
            max = std::max(max, e);
            ++count;
        }
    }
    rms = count ? std::sqrt(sum / count) : 1e9;
}

bool AnalysisScene::write(const QString& folder) const {
    const QDir dir(folder);
    return cv::imwrite(dir.filePath(QStringLiteral("dark.png")).toStdString(), dark) &&
           cv::imwrite(dir.filePath(QStringLiteral("bright.png")).toStdString(), bright) &&
           cv::imwrite(dir.filePath(QStringLiteral("pattern.png")).toStdString(), pattern);
}
