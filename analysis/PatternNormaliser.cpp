#include "analysis/PatternNormaliser.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

double PatternNormaliser::percentile99(const cv::Mat& averaged) {
    // Histogram of the averaged range in tenths of a grey level, 0 to 255.
    constexpr int bins = 2560;
    std::array<int, bins> histogram{};
    int total = 0;
    for (int y = 0; y < averaged.rows; y += 2) {
        const float* row = averaged.ptr<float>(y);
        for (int x = 0; x < averaged.cols; x += 2) {
            const int bin = std::clamp(static_cast<int>(row[x] * 10.0f), 0, bins - 1);
            ++histogram[static_cast<size_t>(bin)];
            ++total;
        }
    }
    const int above = total / 100;
    int seen = 0;
    for (int bin = bins - 1; bin >= 0; --bin) {
        seen += histogram[static_cast<size_t>(bin)];
        if (seen > above)
            return bin / 10.0;
    }
    return 0.0;
}

bool PatternNormaliser::normalise(const cv::Mat& dark, const cv::Mat& bright, const cv::Mat& pattern,
                                  cv::Mat& out) {
    if (dark.type() != CV_8UC1 || bright.type() != CV_8UC1 || pattern.type() != CV_8UC1 ||
        dark.size() != bright.size() || dark.size() != pattern.size() || dark.empty())
        return false;

    // The range is kept signed before averaging: clamping noise at 0 first would lift the average
    // off the screen by about half the noise and could carry it over a dim screen's floor.
    cv::subtract(bright, dark, range, cv::noArray(), CV_32F);
    cv::blur(range, wideRange, cv::Size(maskWindow, maskWindow), cv::Point(-1, -1), cv::BORDER_REPLICATE);
    brightRange = percentile99(wideRange);
    floor = std::max(minimumFloor, floorFraction * brightRange);

    cv::blur(dark, smoothDark, cv::Size(frameWindow, frameWindow), cv::Point(-1, -1), cv::BORDER_REPLICATE);
    cv::blur(bright, smoothBright, cv::Size(frameWindow, frameWindow), cv::Point(-1, -1),
             cv::BORDER_REPLICATE);

    out.create(dark.size(), CV_8UC1);
    const float projectionFloor = static_cast<float>(floor);
    long projected = 0;
    for (int y = 0; y < dark.rows; ++y) {
        const float* wide = wideRange.ptr<float>(y);
        const std::uint8_t* d = smoothDark.ptr<std::uint8_t>(y);
        const std::uint8_t* b = smoothBright.ptr<std::uint8_t>(y);
        const std::uint8_t* p = pattern.ptr<std::uint8_t>(y);
        std::uint8_t* o = out.ptr<std::uint8_t>(y);
        for (int x = 0; x < dark.cols; ++x) {
            const int pixelRange = std::max(b[x] - d[x], 0);
            if (!(wide[x] > projectionFloor) || pixelRange == 0) {
                o[x] = 255;
                continue;
            }
            ++projected;
            const int drop = std::max(b[x] - p[x], 0);
            o[x] = static_cast<std::uint8_t>(255 - std::min(256 * drop / (pixelRange + 1), 255));
        }
    }
    projectedFraction = static_cast<double>(projected) / (static_cast<double>(dark.rows) * dark.cols);
    return true;
}
