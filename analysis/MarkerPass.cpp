#include "analysis/MarkerPass.h"

#include "analysis/DetectionMapping.h"
#include "analysis/RobustMean.h"

#include <chrono>
#include <opencv2/imgproc.hpp>

MarkerPass::MarkerPass()
    : dictionary(cv::aruco::getPredefinedDictionary(cv::aruco::DICT_APRILTAG_16h5))
    , parameters(cv::aruco::DetectorParameters::create()) {
    parameters->errorCorrectionRate = 0.0;
}

bool MarkerPass::isMarkerTarget(int target) {
    switch (target) {
    case 6:
    case 7:
    case 8:
    case 11:
    case 12:
    case 13:
    case 16:
    case 17:
    case 18:
        return true;
    default:
        return false;
    }
}

void MarkerPass::detect(const cv::Mat& image) {
    corners.clear();
    ids.clear();
    cv::aruco::detectMarkers(image, dictionary, corners, ids, parameters);
    for (size_t i = 0; i < ids.size() && i < corners.size(); ++i) {
        if (isMarkerTarget(ids[i]))
            found[static_cast<size_t>(ids[i])].push_back(corners[i]);
    }
}

void MarkerPass::run(const cv::Mat& image, const std::vector<int>& candidates) {
    using Clock = std::chrono::steady_clock;
    for (auto& list : found)
        list.clear();
    detect(image);
    const Clock::time_point started = Clock::now();
    for (int level : candidates) {
        cv::threshold(image, binary, level, 255, cv::THRESH_BINARY);
        if (cv::countNonZero(binary) > 0)
            detect(binary);
        if (Clock::now() - started > std::chrono::milliseconds(timeCapMs))
            break;
    }
}

cv::Point2d MarkerPass::centre(int target) const {
    std::vector<cv::Point2d> centres;
    for (const Outline& outline : found[static_cast<size_t>(target)]) {
        cv::Point2d c;
        if (polygonCentroid(outline, c))
            centres.push_back(c);
    }
    return robustMean(centres);
}
