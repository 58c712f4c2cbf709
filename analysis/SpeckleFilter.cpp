#include "analysis/SpeckleFilter.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace {

// Sets every pixel whose component is marked to value.
void paintMarked(cv::Mat& binary, const cv::Mat& labels, const std::vector<unsigned char>& marked,
                 unsigned char value) {
    for (int y = 0; y < binary.rows; ++y) {
        const int* label = labels.ptr<int>(y);
        unsigned char* pixel = binary.ptr<unsigned char>(y);
        for (int x = 0; x < binary.cols; ++x) {
            if (marked[static_cast<size_t>(label[x])])
                pixel[x] = value;
        }
    }
}

} // namespace

bool SpeckleFilter::apply(cv::Mat& binary, int minWidth, int minHeight) {
    if (cv::countNonZero(binary) == 0)
        return false;
    cv::Mat labels, stats, centroids;

    // White blobs (outer outlines): the outline's box is the blob's box.
    const int white = cv::connectedComponentsWithStats(binary, labels, stats, centroids, 8, CV_32S);
    std::vector<unsigned char> marked(static_cast<size_t>(white), 0);
    bool any = false;
    for (int l = 1; l < white; ++l) {
        const int w = stats.at<int>(l, cv::CC_STAT_WIDTH);
        const int h = stats.at<int>(l, cv::CC_STAT_HEIGHT);
        if (w < minWidth || h < minHeight) {
            marked[static_cast<size_t>(l)] = 1;
            any = true;
        }
    }
    if (any)
        paintMarked(binary, labels, marked, 0);

    // Enclosed black blobs (hole outlines): the outline runs on the white pixels around the hole,
    // one pixel outside its box on every side.
    cv::Mat holes = binary == 0;
    const int black = cv::connectedComponentsWithStats(holes, labels, stats, centroids, 4, CV_32S);
    marked.assign(static_cast<size_t>(black), 0);
    any = false;
    for (int l = 1; l < black; ++l) {
        const int x = stats.at<int>(l, cv::CC_STAT_LEFT);
        const int y = stats.at<int>(l, cv::CC_STAT_TOP);
        const int w = stats.at<int>(l, cv::CC_STAT_WIDTH);
        const int h = stats.at<int>(l, cv::CC_STAT_HEIGHT);
        // Contour tracing treats the outermost pixel frame as black, so a hole whose ring of white
        // touches that frame is no hole there: leave those alone.
        const bool enclosed = x > 1 && y > 1 && x + w < binary.cols - 1 && y + h < binary.rows - 1;
        if (enclosed && (w + 2 < minWidth || h + 2 < minHeight)) {
            marked[static_cast<size_t>(l)] = 1;
            any = true;
        }
    }
    if (any)
        paintMarked(binary, labels, marked, 255);
    return true;
}
