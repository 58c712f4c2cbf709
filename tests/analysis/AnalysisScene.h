#pragma once

#include "analysis/AnalysisResult.h"
#include "analysis/AnalysisSetup.h"
#include "analysis/LensType.h"
#include "analysis/MappingModel.h"
#include "sim/VirtualCamera.h"
#include "sim/VirtualScene.h"

#include <QImage>
#include <QString>
#include <array>
#include <opencv2/core/mat.hpp>

// A calibration photographed by the virtual camera: the pattern drawn by the calibration window
// for the mounting, the three frames, and the ground-truth model in the pattern's frame.
struct AnalysisScene {
    // Noise-free by default: noise multiplies the threshold candidates and so the run time.
    AnalysisScene() { light.noiseSigma = 0.0; }
    // The short-throw lens on a 1280 x 800 screen, where the failure cases are set up.
    static AnalysisScene shortThrow1280x800() {
        AnalysisScene scene;
        scene.lens = 2;
        scene.width = 1280;
        scene.height = 800;
        return scene;
    }

    int width = 1920;
    int height = 1080;
    eLens lens = 3;
    int fwMinor = 10;
    bool ceiling = false;
    bool rear = false;
    // The options the pattern is drawn with when they differ from the mounting (-1: as mounted).
    int drawnCeiling = -1;
    int drawnRear = -1;
    VirtualPose pose;
    VirtualPhotometry light;

    MappingModel truth;
    cv::Mat dark, bright, pattern;

    // Renders the frames; screenEdit may change the painted pattern before it is photographed.
    void photograph(void (*screenEdit)(QImage&, const AnalysisScene&) = nullptr);
    std::array<float, 40> targets() const;

    // What the application gives the analysis for this scene: the window's targets, the mounting
    // the pattern was drawn for, and zero stored offsets unless defaultTweaks.
    AnalysisSetup setup(bool defaultTweaks = false) const;
    // The application's automatic analysis of the frames; keeps the result in result and its
    // model in params; returns the number of targets found.
    int analyse(std::array<double, 13>& params, bool defaultTweaks = false);
    AnalysisResult result;
    // Writes dark.png, bright.png and pattern.png into folder.
    bool write(const QString& folder) const;
    // RMS and maximum screen-pixel error of a fitted model over the inner 95 % of the screen.
    void mappingError(const std::array<double, 13>& params, double& rms, double& max) const;
};
