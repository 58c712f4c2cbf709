#pragma once

#include <opencv2/core/types.hpp>
#include <vector>

// Mean of detected centres after dropping those beyond three standard deviations per axis;
// (0, 0) for no points or when every point is dropped.
cv::Point2d robustMean(const std::vector<cv::Point2d>& points);
