#include "analysis/DetectionAnnotation.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <string>

const cv::Scalar DetectionAnnotation::foundColour(0, 220, 0);
const cv::Scalar DetectionAnnotation::missingColour(0, 0, 255);
const cv::Scalar DetectionAnnotation::droppedColour(0, 150, 255);

cv::Mat DetectionAnnotation::draw(const cv::Mat& patternFrame, const DetectionReport& report) {
    cv::Mat grey;
    if (patternFrame.type() == CV_8UC1 && !patternFrame.empty())
        cv::normalize(patternFrame, grey, 0, 255, cv::NORM_MINMAX);
    else
        grey = cv::Mat(720, 1280, CV_8UC1, cv::Scalar(40));
    cv::Mat picture;
    cv::cvtColor(grey, picture, cv::COLOR_GRAY2BGR);

    const int count = std::clamp(report.targetCount, 0, DetectionReport::maxTargets);
    for (int j = 0; j < count; ++j) {
        const DetectionReport::TargetMark& m = report.marks[static_cast<size_t>(j)];
        switch (m.status) {
        case DetectionReport::TargetStatus::Found:
            mark(picture, m.found, foundColour, j, false);
            break;
        case DetectionReport::TargetStatus::Dropped:
            mark(picture, m.found, droppedColour, j, false);
            break;
        case DetectionReport::TargetStatus::Missing:
            if (m.expectedKnown)
                mark(picture, m.expected, missingColour, j, true);
            break;
        }
    }
    return picture;
}

void DetectionAnnotation::mark(cv::Mat& picture, const cv::Point2f& at, const cv::Scalar& colour, int number,
                               bool crossed) {
    // Points far off the frame (a target placed beyond the camera view) are left out rather than
    // handed to the drawing as huge integers.
    const float reach = 4.0f * static_cast<float>(std::max(picture.cols, picture.rows));
    if (!std::isfinite(at.x) || !std::isfinite(at.y) || std::fabs(at.x) > reach || std::fabs(at.y) > reach)
        return;
    const cv::Point centre(cvRound(at.x), cvRound(at.y));
    cv::circle(picture, centre, ringRadius, colour, ringThickness, cv::LINE_AA);
    if (crossed) {
        const int arm = ringRadius / 2;
        cv::line(picture, centre + cv::Point(-arm, -arm), centre + cv::Point(arm, arm), colour, 2,
                 cv::LINE_AA);
        cv::line(picture, centre + cv::Point(-arm, arm), centre + cv::Point(arm, -arm), colour, 2,
                 cv::LINE_AA);
    }
    // The number sits above and to the right of the ring, outlined so that it reads on white too.
    const std::string text = std::to_string(number);
    const cv::Point origin = centre + cv::Point(ringRadius + 2, -ringRadius);
    cv::putText(picture, text, origin, cv::FONT_HERSHEY_SIMPLEX, 0.6, cv::Scalar(0, 0, 0), 4, cv::LINE_AA);
    cv::putText(picture, text, origin, cv::FONT_HERSHEY_SIMPLEX, 0.6, colour, 2, cv::LINE_AA);
}
