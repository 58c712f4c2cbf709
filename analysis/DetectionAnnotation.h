#pragma once

#include "analysis/DetectionReport.h"

#include <opencv2/core/mat.hpp>

// The camera's pattern frame with every automatic target marked, as the failure details show it
// and the kept calibration stores it: a found target as a green ring with its number, a missing
// one as a red ring with a cross where it was expected, one left out of the fit as an orange ring.
class DetectionAnnotation {
public:
    static constexpr int ringRadius = 16;
    static constexpr int ringThickness = 3;
    // Colours in OpenCV's blue, green, red order.
    static const cv::Scalar foundColour;
    static const cv::Scalar missingColour;
    static const cv::Scalar droppedColour;

    // A BGR picture of the frame's size (1280 x 720 when the frame is not 8-bit grey), its grey
    // levels stretched to the full range so that a dim frame still shows.
    static cv::Mat draw(const cv::Mat& patternFrame, const DetectionReport& report);

private:
    static void mark(cv::Mat& picture, const cv::Point2f& at, const cv::Scalar& colour, int number,
                     bool crossed);
};
