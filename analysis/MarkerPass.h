#pragma once

#include <array>
#include <opencv2/aruco.hpp>
#include <vector>

// Finds the fiducial markers of the pattern on the normalised image and on its binarisations, and
// keeps every sighting of a marker target's id.
class MarkerPass {
public:
    static constexpr int maxTargets = 25;
    static constexpr int timeCapMs = 5000;
    using Outline = std::vector<cv::Point2f>;

    MarkerPass();

    // The binarisations are independent, so up to two threads detect them; their sightings are
    // merged in candidate order, which keeps the result that of a single thread.
    void run(const cv::Mat& image, const std::vector<int>& candidates);
    const std::vector<Outline>& sightings(int target) const { return found[static_cast<size_t>(target)]; }
    // Robust mean of the outline centroids; (0, 0) without sightings.
    cv::Point2d centre(int target) const;

    static bool isMarkerTarget(int target);

private:
    struct Sighting {
        int id;
        Outline outline;
    };
    void detect(const cv::Mat& image, std::vector<Sighting>& out) const;
    void keep(const std::vector<Sighting>& sightingsOfOneImage);

    cv::Ptr<cv::aruco::Dictionary> dictionary;
    cv::Ptr<cv::aruco::DetectorParameters> parameters;
    std::array<std::vector<Outline>, maxTargets> found;
};
