#include "analysis/ElementPlacement.h"

#include "analysis/CirclePass.h"
#include "analysis/ElementFit.h"
#include "analysis/LensPreset.h"
#include "analysis/MappingFit.h"

#include <algorithm>
#include <cmath>
#include <thread>

void ElementPlacement::refine(const cv::Mat& image, const MarkerPass& markers, const Setup& setup,
                              std::array<cv::Point2d, maxTargets>& centres,
                              DetectionWeights::Table* variances) {
    DetectionWeights::Table unknown{};
    DetectionWeights::Table& variance = variances ? *variances : unknown;
    variance.fill(0.0); // 0: not fitted
    // The search's mapping has the lens preset's distortion, not this lens's: mapped through it,
    // an element away from the lens centre is bent out of its drawn shape, and every way of taking
    // its centre (outline, darkness or fit) moves with it, by up to a few tenths of a camera pixel
    // for a marker. A model fitted to the outlines' centres has the lens's own distortion: the
    // elements are fitted through it.
    std::array<float, 2 * maxTargets> camera{};
    std::array<double, 2 * maxTargets> screen{};
    int n = 0;
    const int count = std::min(setup.count, maxTargets);
    const double* drawn = setup.drawnXY ? setup.drawnXY : setup.targetsXY;
    for (int j = 0; j < count; ++j) {
        const cv::Point2d& c = centres[static_cast<size_t>(j)];
        if (!(c.x > 3.0 && c.y > 3.0))
            continue;
        const size_t i = static_cast<size_t>(n++);
        camera[2 * i] = static_cast<float>(c.x);
        camera[2 * i + 1] = static_cast<float>(c.y);
        screen[2 * i] = drawn[static_cast<size_t>(2 * j)];
        screen[2 * i + 1] = drawn[static_cast<size_t>(2 * j + 1)];
    }
    if (n < 12)
        return;
    MappingFit fit;
    fit.setPoints(camera.data(), screen.data(), n);
    const MappingFit::Result result =
        fit.fitMultiStart(false, LensPreset::forLens(setup.lens, setup.fwMinor), setup.seedStart);
    if (!(result.error < 64.0 * n))
        return;
    const DetectionMapping fitted{MappingModel(result.params)};
    // Each element stands alone: a helper thread fits every other one, each writing only its own
    // centre, while the inputs are only read.
    auto place = [&](int first) {
        for (int j = first; j < count; j += 2) {
            cv::Point2d& c = centres[static_cast<size_t>(j)];
            if (MarkerPass::isMarkerTarget(j))
                c = markerCentre(image, fitted, markers, setup, j, c, variance[static_cast<size_t>(j)]);
            else if (CirclePass::isCircleTarget(j))
                c = discCentre(image, fitted, setup, j, c, variance[static_cast<size_t>(j)]);
        }
    };
    std::thread helper;
    if (std::thread::hardware_concurrency() > 1)
        helper = std::thread(place, 1);
    else
        place(1);
    place(0);
    if (helper.joinable())
        helper.join();
}

cv::Point2d ElementPlacement::discCentre(const cv::Mat& image, const DetectionMapping& mapping,
                                         const Setup& setup, int target, const cv::Point2d& outlineCentre,
                                         double& variance) {
    if (!(outlineCentre.x > 3.0 && outlineCentre.y > 3.0))
        return outlineCentre;
    ElementFit::Shape shape;
    shape.discRadius = CirclePass::discRadius(setup.screenWidth, setup.screenHeight);
    ElementFit::Window window;
    window.camera = outlineCentre;
    window.blur = edgeBlur(setup.smoothing, mapping, outlineCentre);
    window.white = setup.white;
    window.black = setup.black;
    window.radius = std::min(shape.discRadius + std::max(0.3 * shape.discRadius, 5.0 * window.blur),
                             screenEdgeDistance(setup, target) - 2.0 * window.blur);
    if (window.radius < shape.discRadius + 2.0 * window.blur)
        return outlineCentre;
    return fittedCentre(image, mapping, shape, window, variance);
}

cv::Point2d ElementPlacement::markerCentre(const cv::Mat& image, const DetectionMapping& mapping,
                                           const MarkerPass& markers, const Setup& setup, int target,
                                           const cv::Point2d& outlineCentre, double& variance) {
    const std::vector<MarkerPass::Outline>& seen = markers.sightings(target);
    if (!(outlineCentre.x > 3.0 && outlineCentre.y > 3.0) || seen.empty() || seen.front().size() != 4)
        return outlineCentre;
    // The marker's axes on the screen from its corners, each turned to the screen axis it lies
    // along and given the drawn cell's length (the marker is drawn square to the screen).
    const int cell = MarkerPass::cellSize(CirclePass::discRadius(setup.screenWidth, setup.screenHeight));
    cv::Point2d s[4];
    for (size_t k = 0; k < 4; ++k)
        mapping.map(static_cast<double>(seen.front()[k].x), static_cast<double>(seen.front()[k].y), s[k].x,
                    s[k].y);
    auto squared = [cell](const cv::Point2d& along) {
        if (std::fabs(along.x) >= std::fabs(along.y))
            return cv::Point2d(along.x >= 0.0 ? cell : -cell, 0.0);
        return cv::Point2d(0.0, along.y >= 0.0 ? cell : -cell);
    };
    ElementFit::Shape shape;
    shape.marker = true;
    shape.cellX = squared((s[1] - s[0]) + (s[2] - s[3]));
    shape.cellY = squared((s[3] - s[0]) + (s[2] - s[1]));
    if (shape.cellX.dot(shape.cellY) != 0.0)
        return outlineCentre;
    shape.blackCells = markers.blackCells(target);
    ElementFit::Window window;
    window.camera = outlineCentre;
    window.blur = edgeBlur(setup.smoothing, mapping, outlineCentre);
    window.white = setup.white;
    window.black = setup.black;
    // The whole marker and a ring of screen, but never off the screen: a window that cuts the
    // marker's corners still fits it, one that holds unlit screen edge does not.
    window.radius = std::min(3.0 * std::sqrt(2.0) * cell + std::max(0.5 * cell, 5.0 * window.blur),
                             screenEdgeDistance(setup, target) - 2.0 * window.blur);
    if (window.radius < 3.0 * cell + 2.0 * window.blur)
        return outlineCentre;
    return fittedCentre(image, mapping, shape, window, variance);
}

double ElementPlacement::screenEdgeDistance(const Setup& setup, int target) {
    // Beyond the screen's edge the camera sees no pattern, only what a window there cannot model.
    const double x = setup.targetsXY[static_cast<size_t>(2 * target)];
    const double y = setup.targetsXY[static_cast<size_t>(2 * target + 1)];
    return std::min(std::min(x, y), std::min(setup.screenWidth - 1 - x, setup.screenHeight - 1 - y));
}

double ElementPlacement::edgeBlur(double smoothing, const DetectionMapping& mapping,
                                  const cv::Point2d& camera) {
    // About a camera pixel of lens and sensor blur, and any smoothing of the image, turned into
    // screen pixels where the element lies.
    const double cameraSigma = std::sqrt(1.0 + smoothing * smoothing);
    return cameraSigma * std::sqrt(mapping.pixelArea(camera.x, camera.y));
}

cv::Point2d ElementPlacement::fittedCentre(const cv::Mat& image, const DetectionMapping& mapping,
                                           const ElementFit::Shape& shape, const ElementFit::Window& window,
                                           double& variance) {
    cv::Point2d screen;
    double fitted = 0.0;
    if (!ElementFit::fit(image, mapping, shape, window, screen, &fitted))
        return window.camera;
    const cv::Point2d camera = mapping.invert(screen, window.camera);
    // Far from the outlines' answer, something else dark lies in the window (a hand, a cable).
    if (std::hypot(camera.x - window.camera.x, camera.y - window.camera.y) > 2.0)
        return window.camera;
    variance = std::isfinite(fitted) && fitted > 0.0 ? fitted : 0.0;
    return camera;
}
