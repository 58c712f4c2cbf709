#include "analysis/ViewJudgement.h"

#include "analysis/DetectionMapping.h"
#include "analysis/HomographySeed.h"
#include "analysis/MappingModel.h"
#include "analysis/MarkerPass.h"
#include "analysis/PatternView.h"

#include <array>
#include <cmath>
#include <opencv2/core.hpp>

void ViewJudgement::judgeLayout(const cv::Mat& image, const std::vector<int>& candidates,
                                const MarkerLayout::Centres& markerCentres, const MarkerLayout& layout,
                                const MappingModel& presetModel, DetectionReport& report) {
    MarkerLayout::Centres centres = markerCentres;
    bool flipped = false;
    if (layout.seedFrom(centres).count() < 4) {
        // A mirrored marker does not decode; in the image flipped left to right it does.
        cv::Mat mirror;
        cv::flip(image, mirror, 1);
        MarkerPass mirrored;
        mirrored.run(mirror, candidates);
        for (int j = 0; j < MarkerLayout::maxTargets; ++j)
            centres[static_cast<size_t>(j)] =
                MarkerPass::isMarkerTarget(j) ? mirrored.centre(j) : cv::Point2d();
        flipped = true;
    }
    // Only markers that agree on one map say how the pattern lies.
    const MarkerLayout::Flags dropped = layout.dropped(centres);
    for (int j = 0; j < MarkerLayout::maxTargets; ++j) {
        if (dropped[static_cast<size_t>(j)])
            centres[static_cast<size_t>(j)] = {0.0, 0.0};
    }
    HomographySeed seed = layout.seedFrom(centres);
    if (!seed.solve())
        return;
    // The orientation at the middle of the image, where every plausible installation has the screen.
    double u = 0.0, v = 0.0;
    presetModel.undistort(image.cols / 2.0, image.rows / 2.0, u, v);
    const PatternView::Orientation seen = PatternView::of(seed, u, v);
    report.view = flipped ? PatternView::unflipped(seen) : seen;
    report.viewKnown = true;
}

void ViewJudgement::markOutsideView(const DetectionMapping& mapping, const double* targetsXY, int count,
                                    double discRadius, DetectionReport& report) {
    // Every 8th camera pixel mapped once. A target whose nearest sample lies on the frame's edge
    // (or that no sample comes within a disc radius of) is cut off by the frame or beyond it.
    constexpr int step = 8;
    constexpr int edge = 2 * step;
    const double reach = discRadius + step;
    std::array<double, DetectionReport::maxTargets> nearest{};
    nearest.fill(1e300);
    std::array<cv::Point, DetectionReport::maxTargets> at{};
    for (int y = 0; y < 720; y += step) {
        for (int x = 0; x < 1280; x += step) {
            double sx = 0.0, sy = 0.0;
            mapping.map(x, y, sx, sy);
            for (int j = 0; j < count; ++j) {
                const size_t k = static_cast<size_t>(j);
                const double d = std::hypot(sx - targetsXY[2 * k], sy - targetsXY[2 * k + 1]);
                if (d < nearest[k]) {
                    nearest[k] = d;
                    at[k] = cv::Point(x, y);
                }
            }
        }
    }
    for (int j = 0; j < count; ++j) {
        const size_t k = static_cast<size_t>(j);
        const bool onEdge =
            at[k].x < edge || at[k].y < edge || at[k].x >= 1280 - edge || at[k].y >= 720 - edge;
        report.outsideView[k] = nearest[k] > reach || onEdge;
    }
}
