// The disc search traces a binarisation with or without its specks removed, whichever is cheaper:
// the outlines it can accept must be the same either way.
#include "analysis/SpeckleFilter.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>
#include <random>
#include <vector>

namespace {

using Outline = std::vector<cv::Point>;

// Every outline at least 24 wide and 20 high, as point lists in a fixed order.
std::vector<Outline> largeOutlines(const cv::Mat& binary) {
    std::vector<Outline> contours;
    cv::findContours(binary, contours, cv::RETR_CCOMP, cv::CHAIN_APPROX_SIMPLE);
    std::vector<Outline> large;
    for (const Outline& c : contours) {
        const cv::Rect box = cv::boundingRect(c);
        if (box.width >= 24 && box.height >= 20)
            large.push_back(c);
    }
    std::sort(large.begin(), large.end(), [](const Outline& a, const Outline& b) {
        return std::lexicographical_compare(
            a.begin(), a.end(), b.begin(), b.end(),
            [](const cv::Point& p, const cv::Point& q) { return p.y != q.y ? p.y < q.y : p.x < q.x; });
    });
    return large;
}

// Lit discs with dark specks inside, a ring whose hole is small, and lit specks everywhere,
// some on the image's edge.
cv::Mat speckledDiscs(double speckShare) {
    cv::Mat binary(720, 1280, CV_8UC1, cv::Scalar(0));
    for (int i = 0; i < 6; ++i)
        cv::circle(binary, cv::Point(150 + 200 * i, 200 + 40 * i), 40 + 5 * i, cv::Scalar(255), cv::FILLED);
    cv::circle(binary, cv::Point(640, 600), 30, cv::Scalar(255), cv::FILLED);
    cv::circle(binary, cv::Point(640, 600), 6, cv::Scalar(0), cv::FILLED);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> share(0.0, 1.0);
    for (int y = 0; y < binary.rows; ++y) {
        for (int x = 0; x < binary.cols; ++x) {
            if (share(random) < speckShare)
                binary.at<unsigned char>(y, x) = binary.at<unsigned char>(y, x) ? 0 : 255;
        }
    }
    return binary;
}

} // namespace

TEST(SpeckleFilterTest, LeavesEveryOutlineTheSearchCanAcceptAndIsUsedOnlyWhereItPays) {
    const cv::Mat clean = speckledDiscs(0.0);
    EXPECT_FALSE(SpeckleFilter::worthApplying(clean));

    for (double speckShare : {0.02, 0.2}) {
        const cv::Mat speckled = speckledDiscs(speckShare);
        EXPECT_TRUE(SpeckleFilter::worthApplying(speckled)) << speckShare;
        cv::Mat filtered = speckled.clone();
        ASSERT_TRUE(SpeckleFilter::apply(filtered, 24, 20));
        const std::vector<Outline> expected = largeOutlines(speckled);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(largeOutlines(filtered), expected) << speckShare;
    }
}
