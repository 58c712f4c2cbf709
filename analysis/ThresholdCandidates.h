#pragma once

#include <opencv2/core/mat.hpp>
#include <vector>

// Grey levels worth binarising the normalised pattern image at: the well-populated levels, thinned
// out to at most one per 5 levels when there are many.
std::vector<int> thresholdCandidates(const cv::Mat& image);
// The same from a 255-bin histogram (levels 0..254) and the image width.
std::vector<int> thresholdCandidatesFromHistogram(const int* histogram, int imageWidth);
