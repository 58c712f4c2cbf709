#pragma once

#include "analysis/LensType.h"
#include "analysis/MappingModel.h"

// Plausible ground-truth camera models: the screen filling most of the camera frame, some
// keystone and roll, and a lens distortion near the preset of the lens type.
struct VirtualPose {
    double fill = 0.86;       // fraction of the frame the screen spans along its limiting axis
    double keystone = 0.04;   // top edge shorter than the bottom edge by this fraction
    double rollDegrees = 0.0; // rotation of the screen in the camera image
    double shiftX = 0.0;      // screen centre offset from the frame centre, camera pixels
    double shiftY = 0.0;
    double distortionScale = 1.0; // k1..k3 of the preset times this
    double centreShiftX = 0.0;    // distortion centre offset from the preset, camera pixels
    double centreShiftY = 0.0;
};

class VirtualScene {
public:
    // Camera to screen in the pattern's own frame (target k at automatic target k), i.e. the
    // model a calibration should find, for an upright camera.
    static MappingModel groundTruth(int screenWidth, int screenHeight, eLens lens, int fwMinor,
                                    const VirtualPose& pose);
    // The model the camera renders with when mounted: the pattern frame turned by 180° on the
    // physical screen (ceiling) and/or mirrored left to right (rear). Target positions are
    // symmetric about (W - 1) / 2, so the turn is X -> W - 1 - X, Y -> H - 1 - Y.
    static MappingModel mounted(const MappingModel& upright, int screenWidth, int screenHeight, bool ceiling,
                                bool rear);
};
