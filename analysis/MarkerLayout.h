#pragma once

#include "analysis/DetectionMapping.h"
#include "analysis/HomographySeed.h"
#include "analysis/MappingModel.h"
#include "analysis/MarkerPass.h"

#include <array>
#include <opencv2/core/types.hpp>
#include <vector>

// The marker targets' found centres against their places on the screen: the seed they give, which
// of them agree on one projective map, and their centres refined through a detection mapping.
// Borrows the target table, which must outlive it.
class MarkerLayout {
public:
    static constexpr int maxTargets = 25;
    using Centres = std::array<cv::Point2d, maxTargets>;
    using Flags = std::array<bool, maxTargets>;

    // targetsXY: count (x, y) pairs, screen pixels; tolerance: screen pixels a marker may lie off
    // the map of the others and still agree with them.
    MarkerLayout(const double* targetsXY, int count, const MappingModel& presetModel, double tolerance);

    // Pairs each found marker centre (not (0, 0)), undistorted by the lens preset, with its target.
    HomographySeed seedFrom(const Centres& centres) const;
    // Per target: true unless it is a found marker of the largest subset that lies on one projective
    // map (all true when no five, or no fewer found, agree).
    Flags dropped(const Centres& centres) const;
    // Per marker target not dropped: the robust mean of its sightings' centres, each moved by inverse
    // search to the camera point of its outline's centroid on the screen; (0, 0) without sightings.
    Centres refinedCentres(const MarkerPass& markers, const DetectionMapping& mapping,
                           const Flags& skipped) const;

private:
    // The found marker targets (centre not (0, 0)) in order, with their centres undistorted by the
    // lens preset.
    void foundMarkers(const Centres& centres, std::vector<int>& found,
                      std::vector<cv::Point2d>& undistorted) const;

    const double* targetsXY;
    int count;
    MappingModel presetModel;
    double tolerance;
};
