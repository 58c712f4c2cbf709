#include "analysis/SpeckleFilter.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace {

// Sets every pixel of the marked components to value. Speckles are small, so painting inside
// their boxes is far cheaper than a scan of the frame, unless so many are marked that the boxes
// together cover more than the frame.
void paintMarked(cv::Mat& binary, const cv::Mat& labels, const cv::Mat& stats,
                 const std::vector<unsigned char>& marked, unsigned char value) {
    long long boxArea = 0;
    for (size_t l = 1; l < marked.size(); ++l) {
        if (marked[l]) {
            const int component = static_cast<int>(l);
            boxArea += static_cast<long long>(stats.at<int>(component, cv::CC_STAT_WIDTH)) *
                       stats.at<int>(component, cv::CC_STAT_HEIGHT);
        }
    }
    if (boxArea >= static_cast<long long>(binary.rows) * binary.cols) {
        for (int y = 0; y < binary.rows; ++y) {
            const int* label = labels.ptr<int>(y);
            unsigned char* pixel = binary.ptr<unsigned char>(y);
            for (int x = 0; x < binary.cols; ++x) {
                if (marked[static_cast<size_t>(label[x])])
                    pixel[x] = value;
            }
        }
        return;
    }
    for (size_t l = 1; l < marked.size(); ++l) {
        if (!marked[l])
            continue;
        const int component = static_cast<int>(l);
        const int left = stats.at<int>(component, cv::CC_STAT_LEFT);
        const int top = stats.at<int>(component, cv::CC_STAT_TOP);
        const int right = left + stats.at<int>(component, cv::CC_STAT_WIDTH);
        const int bottom = top + stats.at<int>(component, cv::CC_STAT_HEIGHT);
        for (int y = top; y < bottom; ++y) {
            const int* label = labels.ptr<int>(y);
            unsigned char* pixel = binary.ptr<unsigned char>(y);
            for (int x = left; x < right; ++x) {
                if (label[x] == component)
                    pixel[x] = value;
            }
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
        paintMarked(binary, labels, stats, marked, 0);

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
        paintMarked(binary, labels, stats, marked, 255);
    return true;
}

bool SpeckleFilter::worthApplying(const cv::Mat& binary) {
    long edges = 0;
    for (int y = 0; y < binary.rows; ++y) {
        const unsigned char* row = binary.ptr<unsigned char>(y);
        int changes = 0;
        for (int x = 1; x < binary.cols; ++x)
            changes += row[x] != row[x - 1];
        edges += changes;
        if (edges > speckledEdges)
            return true;
    }
    return false;
}
