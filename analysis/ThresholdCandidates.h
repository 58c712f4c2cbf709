#pragma once

#include <opencv2/core/mat.hpp>
#include <vector>

// Grey levels worth binarising the normalised pattern image at: the well-populated levels, thinned
// out to at most one per 5 levels when there are many.
std::vector<int> thresholdCandidates(const cv::Mat& image);
// The same from a 255-bin histogram (levels 0..254) and the image width.
std::vector<int> thresholdCandidatesFromHistogram(const int* histogram, int imageWidth);
// For a smoothed (noisy) capture, whose histogram is one broad lit peak and one dark one: levels
// spread evenly over the middle of the way from the dark pixels' median to the lit pixels' median
// (split at Otsu's level; 255, off the projection, left out). Empty when the two hardly differ.
std::vector<int> thresholdCandidatesBetweenModes(const cv::Mat& image, int levels);
