#pragma once

#include "analysis/LensType.h"
#include "sim/VirtualPhotometry.h"
#include "sim/VirtualScene.h"

#include <random>

// One seeded random room the envelope bench photographs: screen, lens, mounting, pose and light,
// from dim low-contrast screens in bright rooms to strong keystone.
struct Installation {
    int width = 1920, height = 1080;
    eLens lens = 3;
    int fwMinor = 12;
    bool ceiling = false, rear = false;
    VirtualPose pose;
    VirtualPhotometry light;
    double contrast = 0.0;     // white minus black at the centre, grey levels
    double ambientShare = 0.0; // room light as a share of the white level
    double drift = 0.0;        // largest exposure change between the three frames
    int covered = -1;          // the target a cable partly covers; -1 none
    bool allInView = true;     // every target's disc or marker lies wholly inside the camera frame

    // The next installation of the draw.
    static Installation draw(std::mt19937& random);
};
