#include "sim/VirtualScene.h"

#include "analysis/LensPreset.h"
#include "sim/VirtualCamera.h"

#include <cmath>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace {

// Camera corners of the screen (top-left, top-right, bottom-right, bottom-left) for a given size.
std::vector<cv::Point2f> cornerQuad(double width, double height, const VirtualPose& pose) {
    const double cx = VirtualCamera::frameWidth / 2.0 + pose.shiftX;
    const double cy = VirtualCamera::frameHeight / 2.0 + pose.shiftY;
    const double top = width * (1.0 - pose.keystone) / 2.0;
    const double bottom = width / 2.0;
    const double angle = pose.rollDegrees * 3.14159265358979323846 / 180.0;
    const double cs = std::cos(angle), sn = std::sin(angle);
    const double corners[4][2] = {
        {-top, -height / 2.0}, {top, -height / 2.0}, {bottom, height / 2.0}, {-bottom, height / 2.0}};
    std::vector<cv::Point2f> quad;
    for (const auto& c : corners) {
        quad.emplace_back(static_cast<float>(cx + cs * c[0] - sn * c[1]),
                          static_cast<float>(cy + sn * c[0] + cs * c[1]));
    }
    return quad;
}

MappingModel modelFor(const std::vector<cv::Point2f>& quad, int screenWidth, int screenHeight,
                      const MappingModel& distortion) {
    std::vector<cv::Point2f> undistorted;
    for (const cv::Point2f& c : quad) {
        double u = 0.0, v = 0.0;
        distortion.undistort(static_cast<double>(c.x), static_cast<double>(c.y), u, v);
        undistorted.emplace_back(static_cast<float>(u), static_cast<float>(v));
    }
    // Outer edges of the corner pixels.
    const float right = static_cast<float>(screenWidth) - 0.5f;
    const float bottom = static_cast<float>(screenHeight) - 0.5f;
    const std::vector<cv::Point2f> screen = {
        {-0.5f, -0.5f}, {right, -0.5f}, {right, bottom}, {-0.5f, bottom}};
    const cv::Mat h = cv::getPerspectiveTransform(undistorted, screen);
    MappingModel model = distortion;
    const double h22 = h.at<double>(2, 2);
    for (int i = 0; i < 8; ++i)
        model.p[static_cast<size_t>(i)] = h.at<double>(i / 3, i % 3) / h22;
    return model;
}

// Every point of the screen border seen inside the frame, with a small margin.
bool borderInsideFrame(const MappingModel& model, int screenWidth, int screenHeight) {
    constexpr int steps = 64;
    constexpr double margin = 4.0;
    for (int i = 0; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        const double x = t * screenWidth - 0.5, y = t * screenHeight - 0.5;
        const double right = screenWidth - 0.5, bottom = screenHeight - 0.5;
        const double points[4][2] = {{x, -0.5}, {x, bottom}, {-0.5, y}, {right, y}};
        for (const auto& p : points) {
            double camX = 0.0, camY = 0.0;
            if (!VirtualCamera::screenToCamera(model, p[0], p[1], camX, camY))
                return false;
            if (camX < margin || camY < margin || camX > VirtualCamera::frameWidth - 1 - margin ||
                camY > VirtualCamera::frameHeight - 1 - margin)
                return false;
        }
    }
    return true;
}

} // namespace

MappingModel VirtualScene::groundTruth(int screenWidth, int screenHeight, eLens lens, int fwMinor,
                                       const VirtualPose& pose) {
    const LensPreset preset = LensPreset::forLens(lens, fwMinor);
    MappingModel distortion;
    distortion.p[MappingModel::Cx] = preset.cx + pose.centreShiftX;
    distortion.p[MappingModel::Cy] = preset.cy + pose.centreShiftY;
    distortion.p[MappingModel::K1] = preset.k1 * pose.distortionScale;
    distortion.p[MappingModel::K2] = preset.k2 * pose.distortionScale;
    distortion.p[MappingModel::K3] = preset.k3 * pose.distortionScale;

    const double aspect = static_cast<double>(screenWidth) / screenHeight;
    double width = VirtualCamera::frameWidth * pose.fill;
    double height = width / aspect;
    if (height > VirtualCamera::frameHeight * pose.fill) {
        height = VirtualCamera::frameHeight * pose.fill;
        width = height * aspect;
    }
    MappingModel model = modelFor(cornerQuad(width, height, pose), screenWidth, screenHeight, distortion);
    // Barrel distortion bows the edges outward; shrink until the whole screen is in view.
    for (int i = 0; i < 40 && !borderInsideFrame(model, screenWidth, screenHeight); ++i) {
        width *= 0.97;
        height *= 0.97;
        model = modelFor(cornerQuad(width, height, pose), screenWidth, screenHeight, distortion);
    }
    return model;
}

MappingModel VirtualScene::mounted(const MappingModel& upright, int screenWidth, int screenHeight,
                                   bool ceiling, bool rear) {
    using M = MappingModel;
    MappingModel model = upright;
    const bool flipX = ceiling != rear; // ceiling turns both axes, rear mirrors X once more
    const bool flipY = ceiling;
    auto& p = model.p;
    if (flipX) {
        const double span = screenWidth - 1.0;
        p[M::H0] = span * upright.p[M::H6] - upright.p[M::H0];
        p[M::H1] = span * upright.p[M::H7] - upright.p[M::H1];
        p[M::H2] = span - upright.p[M::H2];
    }
    if (flipY) {
        const double span = screenHeight - 1.0;
        p[M::H3] = span * upright.p[M::H6] - upright.p[M::H3];
        p[M::H4] = span * upright.p[M::H7] - upright.p[M::H4];
        p[M::H5] = span - upright.p[M::H5];
    }
    return model;
}
