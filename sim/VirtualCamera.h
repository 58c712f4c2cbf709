#pragma once

#include "analysis/MappingModel.h"
#include "sim/VirtualPhotometry.h"

#include <QImage>
#include <opencv2/core/mat.hpp>
#include <vector>

// What the module's camera sees of a screen image. The camera-to-screen model is the module's own
// 13-parameter form and gives, for every camera (sub)pixel, the screen point it looks at, so a
// frame is a forward lookup per sub-pixel, precomputed once per model. Mounting is part of the
// model: a ceiling-mounted camera sees the screen turned by 180°, a rear camera mirrored left to
// right; VirtualScene::mounted() composes those turns into the model.
//
// Screen pixel i is centred at coordinate i, as target positions and touches count them (a disc
// drawn at target x is centred there); camera pixel i is centred at i too. Frames are 1280 x 720
// (calibration) or 640 x 360 (live) 8-bit grey.
class VirtualCamera {
public:
    static constexpr int frameWidth = 1280;
    static constexpr int frameHeight = 720;

    VirtualCamera(const MappingModel& cameraToScreen, int screenWidth, int screenHeight,
                  int supersampling = 3);

    // screen: screenWidth x screenHeight, CV_8UC1 (or Grayscale8 QImage); empty Mat on a mismatch.
    cv::Mat render(const cv::Mat& screen, const VirtualPhotometry& light) const;
    cv::Mat render(const QImage& screen, const VirtualPhotometry& light) const;
    // The 640 x 360 live frame: the calibration frame binned 2 x 2.
    cv::Mat renderLive(const cv::Mat& screen, const VirtualPhotometry& light) const;
    // A uniformly filled screen (0 black, 255 white).
    cv::Mat renderUniform(int grey, const VirtualPhotometry& light) const;
    // The light that reaches the sensor, before its noise and its 8 bits: CV_32F grey levels.
    cv::Mat renderRadiance(const QImage& screen, const VirtualPhotometry& light) const;

    // Where the camera sees a screen point (numeric inversion of the model); false when the point
    // has no camera position.
    bool screenToCamera(double screenX, double screenY, double& x, double& y) const;
    static bool screenToCamera(const MappingModel& model, double screenX, double screenY, double& x,
                               double& y);

    const MappingModel& model() const { return cameraModel; }

private:
    // Per camera pixel the mean screen level (0..1) and the lit fraction, interleaved.
    std::vector<float> brightnessOf(const cv::Mat& screen) const;
    cv::Mat radianceOf(const std::vector<float>& brightness, const VirtualPhotometry& light) const;
    cv::Mat shade(const std::vector<float>& brightness, const VirtualPhotometry& light) const;

    MappingModel cameraModel;
    int screenW;
    int screenH;
    int samples;             // per axis
    std::vector<int> lookup; // screen pixel index per camera sub-pixel, -1 off the screen
};
