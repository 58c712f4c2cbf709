#pragma once

#include "analysis/LensType.h"
#include "analysis/MappingModel.h"
#include "sim/VirtualPhotometry.h"
#include "sim/VirtualScene.h"

// One simulated installation: the covered display, the module's camera pose and lens, how the
// module is mounted, the light, and the pen. Physical screen coordinates are pixels of the covered
// display; the pattern frame is the frame the calibration pattern is drawn in (turned by 180° on
// the physical screen for ceiling mounting, mirrored left to right for rear projection).
class VirtualRig {
public:
    int screenWidth = 1920;
    int screenHeight = 1080;
    eLens lens = 3;
    int fwMinor = 12;
    bool ceiling = false;
    bool rear = false;
    VirtualPose pose;
    VirtualPhotometry light;
    // Pen parallax beyond what the lens' default offset tables expect, as a multiple of their size.
    double parallax = 0.0;

    // Camera to pattern frame, and camera to the physical screen (what the camera really sees).
    MappingModel uprightModel() const;
    MappingModel mountedModel() const;

    // Physical point to pattern frame and back (the turn and the mirror are their own inverses).
    void toPatternFrame(double x, double y, double& px, double& py) const;

    // Where the camera sees the pen tip when the pen touches a physical screen point: the point's
    // camera position plus the pen's parallax. False when the camera cannot see the point.
    bool penCameraPoint(double x, double y, double& cameraX, double& cameraY) const;
    // The parallax alone, in camera pixels, for a point of the pattern frame.
    void penOffset(double patternX, double patternY, double& dx, double& dy) const;
};
