#include "analysis/MarkerLayout.h"

#include "analysis/RobustMean.h"

#include <QLoggingCategory>
#include <algorithm>
#include <cmath>
#include <vector>

Q_DECLARE_LOGGING_CATEGORY(lcAnalysis)

MarkerLayout::MarkerLayout(const double* targets, int targetCount, const MappingModel& preset, double agree)
    : targetsXY(targets)
    , count(std::clamp(targetCount, 0, maxTargets))
    , presetModel(preset)
    , tolerance(agree) {}

void MarkerLayout::foundMarkers(const Centres& centres, std::vector<int>& found,
                                std::vector<cv::Point2d>& undistorted) const {
    found.clear();
    undistorted.clear();
    for (int j = 0; j < count; ++j) {
        const cv::Point2d& c = centres[static_cast<size_t>(j)];
        if (!MarkerPass::isMarkerTarget(j) || (c.x == 0.0 && c.y == 0.0))
            continue;
        double u = 0.0, v = 0.0;
        presetModel.undistort(c.x, c.y, u, v);
        found.push_back(j);
        undistorted.emplace_back(u, v);
    }
}

HomographySeed MarkerLayout::seedFrom(const Centres& centres) const {
    std::vector<int> found;
    std::vector<cv::Point2d> undistorted;
    foundMarkers(centres, found, undistorted);
    HomographySeed seed;
    for (size_t i = 0; i < found.size(); ++i) {
        const size_t k = static_cast<size_t>(found[i]);
        seed.addPair(undistorted[i].x, undistorted[i].y, targetsXY[2 * k], targetsXY[2 * k + 1]);
    }
    return seed;
}

MarkerLayout::Flags MarkerLayout::dropped(const Centres& centres) const {
    std::vector<int> found;
    std::vector<cv::Point2d> undistorted;
    foundMarkers(centres, found, undistorted);
    const int n = static_cast<int>(found.size());
    Flags out{};
    out.fill(true);
    // Four markers always fit exactly, so only five or more prove anything; all of them must agree
    // when there are fewer than five.
    const int least = std::min(n, 5);
    unsigned best = 0;
    double bestWorst = 0.0;
    for (int size = n; size >= least && best == 0; --size) {
        for (unsigned subset = 0; subset < (1u << n); ++subset) {
            if (__builtin_popcount(subset) != size)
                continue;
            HomographySeed trial;
            for (int i = 0; i < n; ++i) {
                if (subset & (1u << i)) {
                    const size_t k = static_cast<size_t>(found[static_cast<size_t>(i)]);
                    trial.addPair(undistorted[static_cast<size_t>(i)].x,
                                  undistorted[static_cast<size_t>(i)].y, targetsXY[2 * k],
                                  targetsXY[2 * k + 1]);
                }
            }
            if (!trial.solve())
                continue;
            double worst = 0.0;
            for (int i = 0; i < n; ++i) {
                if (!(subset & (1u << i)))
                    continue;
                const size_t k = static_cast<size_t>(found[static_cast<size_t>(i)]);
                double sx = 0.0, sy = 0.0;
                trial.toScreen(undistorted[static_cast<size_t>(i)].x, undistorted[static_cast<size_t>(i)].y,
                               sx, sy);
                worst = std::max(worst, std::hypot(sx - targetsXY[2 * k], sy - targetsXY[2 * k + 1]));
            }
            if (worst <= tolerance && (best == 0 || worst < bestWorst)) {
                best = subset;
                bestWorst = worst;
            }
        }
    }
    for (int i = 0; i < n; ++i)
        out[static_cast<size_t>(found[static_cast<size_t>(i)])] = (best & (1u << i)) == 0;
    if (best != 0 && __builtin_popcount(best) < n)
        qCDebug(lcAnalysis) << n - __builtin_popcount(best) << "markers off the others: dropped";
    return out;
}

MarkerLayout::Centres MarkerLayout::refinedCentres(const MarkerPass& markers, const DetectionMapping& mapping,
                                                   const Flags& skipped) const {
    Centres centres{};
    std::vector<cv::Point> screen;
    std::vector<cv::Point2d> refined;
    for (int j = 0; j < count; ++j) {
        if (!MarkerPass::isMarkerTarget(j) || skipped[static_cast<size_t>(j)])
            continue;
        refined.clear();
        for (const MarkerPass::Outline& outline : markers.sightings(j)) {
            cv::Point2d c;
            if (!polygonCentroid(outline, c))
                continue;
            mapping.mapRounded(outline, screen);
            cv::Point2d m;
            cv::Point2d r = c;
            if (polygonCentroid(screen, m)) {
                r = mapping.refineByInverseSearch(m, c);
                if (r.x < 0.0 || r.y < 0.0)
                    r = c;
            }
            refined.push_back(r);
        }
        centres[static_cast<size_t>(j)] = robustMean(refined);
    }
    return centres;
}
