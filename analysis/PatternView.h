#pragma once

#include "analysis/HomographySeed.h"

// How the camera sees the pattern's layout. The calibration window draws the pattern turned and
// mirrored for the chosen mounting so that a camera mounted that way sees it upright; a pattern
// seen turned or mirrored means the ceiling or rear option does not match the installation.
class PatternView {
public:
    enum Orientation { Upright, Turned, Mirrored, MirroredAndTurned };

    // The orientation of the seed's camera-to-screen map at the undistorted camera point (u, v):
    // a mirror reverses the sense of rotation, a turn points the camera's x axis against the
    // screen's. A camera rolled by up to 45 degrees still counts as upright.
    static Orientation of(const HomographySeed& seed, double u, double v);
    // The same orientation seen in the image flipped left to right.
    static Orientation unflipped(Orientation inFlippedImage);
    // The plain-words failure reason; empty for Upright.
    static const char* reason(Orientation orientation);
};
