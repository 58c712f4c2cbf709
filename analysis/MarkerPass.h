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
    // The side of one of the marker's six cells on the screen, for the pattern's disc radius.
    static int cellSize(int discRadius) { return (2 * discRadius + 5) / 6; }
    // The marker's six by six cells with its border, row by row, in the frame its outline's corners
    // are given in (corner 0 at the origin, corner 1 along x, corner 3 along y): true where black.
    std::array<bool, 36> blackCells(int id) const;

private:
    struct Sighting {
        int id;
        Outline outline;
    };
    void detect(const cv::Mat& image, const cv::Ptr<cv::aruco::DetectorParameters>& with,
                std::vector<Sighting>& out) const;
    void keep(const std::vector<Sighting>& sightingsOfOneImage);

    cv::Ptr<cv::aruco::Dictionary> dictionary;
    cv::Ptr<cv::aruco::DetectorParameters> parameters;       // the grey image
    cv::Ptr<cv::aruco::DetectorParameters> binaryParameters; // its binarisations
    std::array<std::vector<Outline>, maxTargets> found;
};
