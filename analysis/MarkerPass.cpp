#include "analysis/MarkerPass.h"

#include "analysis/DetectionMapping.h"
#include "analysis/RobustMean.h"

#include <atomic>
#include <chrono>
#include <opencv2/imgproc.hpp>
#include <thread>

MarkerPass::MarkerPass()
    : dictionary(cv::aruco::getPredefinedDictionary(cv::aruco::DICT_APRILTAG_16h5))
    , parameters(cv::aruco::DetectorParameters::create())
    , binaryParameters(cv::aruco::DetectorParameters::create()) {
    parameters->errorCorrectionRate = 0.0;
    // On a binarised image every adaptive window marks the black pixels next to white ones, only
    // in bands of different widths: the outer outline of each band, where the markers' corners are
    // taken, is the same for all of them, so one window finds what three would.
    binaryParameters->errorCorrectionRate = 0.0;
    binaryParameters->adaptiveThreshWinSizeMin = 3;
    binaryParameters->adaptiveThreshWinSizeMax = 3;
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

std::array<bool, 36> MarkerPass::blackCells(int id) const {
    cv::Mat cells;
    dictionary->drawMarker(id, 6, cells, 1);
    std::array<bool, 36> black{};
    for (int row = 0; row < 6 && row < cells.rows; ++row) {
        for (int column = 0; column < 6 && column < cells.cols; ++column)
            black[static_cast<size_t>(6 * row + column)] = cells.at<unsigned char>(row, column) < 128;
    }
    return black;
}

void MarkerPass::detect(const cv::Mat& image, const cv::Ptr<cv::aruco::DetectorParameters>& with,
                        std::vector<Sighting>& out) const {
    std::vector<Outline> corners;
    std::vector<int> ids;
    cv::aruco::detectMarkers(image, dictionary, corners, ids, with);
    for (size_t i = 0; i < ids.size() && i < corners.size(); ++i) {
        if (isMarkerTarget(ids[i]))
            out.push_back({ids[i], corners[i]});
    }
}

void MarkerPass::keep(const std::vector<Sighting>& sightingsOfOneImage) {
    for (const Sighting& s : sightingsOfOneImage)
        found[static_cast<size_t>(s.id)].push_back(s.outline);
}

void MarkerPass::run(const cv::Mat& image, const std::vector<int>& candidates) {
    using Clock = std::chrono::steady_clock;
    for (auto& list : found)
        list.clear();
    std::vector<Sighting> first;
    detect(image, parameters, first);
    keep(first);

    const Clock::time_point started = Clock::now();
    const auto cap = std::chrono::milliseconds(timeCapMs);
    const size_t count = candidates.size();
    // Per candidate: its sightings, whether it ran, and whether the cap had passed when it ended.
    std::vector<std::vector<Sighting>> perCandidate(count);
    std::vector<char> done(count, 0);
    std::vector<char> pastCap(count, 0);
    std::atomic<size_t> next{0};
    std::atomic<bool> stop{false};
    auto work = [&] {
        cv::Mat binary;
        for (;;) {
            const size_t i = next.fetch_add(1);
            if (i >= count || stop.load())
                return;
            cv::threshold(image, binary, candidates[i], 255, cv::THRESH_BINARY);
            if (cv::countNonZero(binary) > 0)
                detect(binary, binaryParameters, perCandidate[i]);
            done[i] = 1;
            if (Clock::now() - started > cap) {
                pastCap[i] = 1;
                stop.store(true);
            }
        }
    };
    const bool twoThreads = count > 1 && std::thread::hardware_concurrency() > 1;
    std::thread helper;
    if (twoThreads)
        helper = std::thread(work);
    work();
    if (helper.joinable())
        helper.join();

    // Candidate order, ending after the first one that finished past the time cap.
    for (size_t i = 0; i < count && done[i]; ++i) {
        keep(perCandidate[i]);
        if (pastCap[i])
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
