#pragma once

#include "analysis/HomographySeed.h"
#include "analysis/LensPreset.h"
#include "analysis/MappingModel.h"

#include <opencv2/core/types.hpp>
#include <vector>

// The mapping used while targets are searched: the lens preset's undistortion followed by the
// marker seed. Also the helpers that work through it.
class DetectionMapping {
public:
    DetectionMapping(const LensPreset& preset, const HomographySeed& seed);
    // The mapping of a fitted model.
    explicit DetectionMapping(const MappingModel& model);

    void map(double x, double y, double& sx, double& sy) const;
    // Maps each point and rounds to whole screen pixels (halves upward).
    void mapRounded(const std::vector<cv::Point>& camera, std::vector<cv::Point>& screen) const;
    void mapRounded(const std::vector<cv::Point2f>& camera, std::vector<cv::Point>& screen) const;

    // The camera point whose mapping is m, by Gauss-Newton steps from start (a numeric Jacobian);
    // start itself when the map is degenerate there.
    cv::Point2d invert(const cv::Point2d& m, const cv::Point2d& start, int steps = 5) const;
    // The screen area of the camera pixel at (x, y): the Jacobian's determinant.
    double pixelArea(double x, double y) const;

    // The camera point within ±10 px of c, in 0.2 px steps, whose mapping lies nearest to the
    // screen point m; (-1, -1) when no point was tried.
    cv::Point2d refineByInverseSearch(const cv::Point2d& m, const cv::Point2d& c) const;
    // The same answer by trying every grid point (the reference the search above is held to).
    cv::Point2d refineByWholeGridScan(const cv::Point2d& m, const cv::Point2d& c) const;

private:
    static constexpr int maxGrid = 104;
    // Squared distance between the mapping of camera point (x, y) and the screen point m.
    double squaredMiss(double x, double y, const cv::Point2d& m) const;
    template <typename CameraPoint>
    void mapEachRounded(const std::vector<CameraPoint>& camera, std::vector<cv::Point>& screen) const;

    double cx, cy, k1, k2, k3;
    std::array<double, 9> g;
};

// Closest whole number, halves going up.
int roundHalfUp(double v);
// Polygon centroid m10/m00, m01/m00; false for a polygon without area.
bool polygonCentroid(const std::vector<cv::Point>& polygon, cv::Point2d& centre);
bool polygonCentroid(const std::vector<cv::Point2f>& polygon, cv::Point2d& centre);
