#pragma once

#include "analysis/PatternView.h"

#include <array>

// What the last detection run saw beyond the detected points, for explaining a failure.
struct DetectionReport {
    static constexpr int maxTargets = 25;

    bool ran = false;
    int markersFound = 0;    // marker targets with at least one sighting
    bool seedSolved = false; // the markers gave a projective seed
    PatternView::Orientation view = PatternView::Upright;
    bool viewKnown = false; // enough markers (possibly in the mirrored image) to judge the view
    // Per target: no camera pixel maps near it through the seed, so the camera does not see it.
    std::array<bool, maxTargets> outsideView{};
};
