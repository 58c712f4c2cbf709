#pragma once

#include "analysis/PatternView.h"

#include <array>
#include <cstdint>
#include <opencv2/core/types.hpp>

// What the last detection run saw beyond the detected points, for explaining a failure.
struct DetectionReport {
    static constexpr int maxTargets = 25;

    enum class TargetStatus : std::uint8_t {
        Missing, // not found
        Found,
        Dropped, // found, but left out of the fit as off its place
    };
    // One target as the failure details draw it, in camera pixels.
    struct TargetMark {
        TargetStatus status = TargetStatus::Missing;
        cv::Point2f found;          // the detection; (0, 0) when missing
        cv::Point2f expected;       // where the fit or, without one, the marker seed puts the target
        bool expectedKnown = false; // neither ran: the target cannot be placed
    };

    bool ran = false;
    int markersFound = 0;    // marker targets with at least one sighting
    bool seedSolved = false; // the markers gave a projective seed
    PatternView::Orientation view = PatternView::Upright;
    bool viewKnown = false; // enough markers (possibly in the mirrored image) to judge the view
    // Per target: no camera pixel maps near it through the seed, so the camera does not see it.
    std::array<bool, maxTargets> outsideView{};

    // The automatic targets' marks, filled by PatternAnalyzer::markedDetection(); marks beyond
    // targetCount are unused.
    int targetCount = 0;
    std::array<TargetMark, maxTargets> marks{};
};
