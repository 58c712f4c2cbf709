#include "analysis/PatternNormaliser.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace {

// 255 - min(256·drop / (range + 1), 255) for every (range, drop).
const std::vector<std::uint8_t>& quotientTable() {
    static const std::vector<std::uint8_t> table = [] {
        std::vector<std::uint8_t> t(256 * 256);
        for (int range = 0; range < 256; ++range) {
            for (int drop = 0; drop < 256; ++drop)
                t[static_cast<size_t>(range * 256 + drop)] =
                    static_cast<std::uint8_t>(255 - std::min(256 * drop / (range + 1), 255));
        }
        return t;
    }();
    return table;
}

} // namespace

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

double PatternNormaliser::whiteNoise(const cv::Mat& bright, const cv::Mat& averaged, double projectionFloor) {
    // Mean absolute difference of horizontal neighbours on the projection, every 4th row: for
    // Gaussian noise of sigma s it is 2s/sqrt(pi); the white screen's own gradient adds little.
    double sum = 0.0;
    long count = 0;
    const float level = static_cast<float>(projectionFloor);
    for (int y = 0; y < bright.rows; y += 4) {
        const std::uint8_t* b = bright.ptr<std::uint8_t>(y);
        const float* wide = averaged.ptr<float>(y);
        for (int x = 0; x + 1 < bright.cols; ++x) {
            if (wide[x] > level && wide[x + 1] > level) {
                sum += std::abs(b[x + 1] - b[x]);
                ++count;
            }
        }
    }
    return count ? 0.886 * sum / static_cast<double>(count) : 0.0;
}

double PatternNormaliser::smoothingFor(double frameNoise, double range, bool framesSmoothed) {
    if (!(range > 0.0) || !(frameNoise > 0.0))
        return 0.0;
    // The drop (white - pattern) carries the pattern frame's noise and the white frame's, the
    // latter mostly gone when the frames were smoothed; the quotient scales it by 256 / range.
    const double dropNoise = frameNoise * (framesSmoothed ? 1.02 : std::sqrt(2.0));
    const double resultNoise = 256.0 * dropNoise / range;
    if (resultNoise <= noisyResult)
        return 0.0;
    // A Gaussian of sigma s lowers white noise by about 1 / (2·sqrt(pi)·s).
    const double sigma = resultNoise / (residualNoise * 2.0 * std::sqrt(3.14159265358979));
    return std::clamp(sigma, 0.8, maximumSmoothing);
}

cv::Mat PatternNormaliser::patternFrameOf(const cv::Mat& image) const {
    if (lastPattern.empty() || image.data != lastResult.data || image.size() != lastPattern.size())
        return cv::Mat();
    return lastPattern;
}

bool PatternNormaliser::normalise(const cv::Mat& dark, const cv::Mat& bright, const cv::Mat& pattern,
                                  cv::Mat& out) {
    if (dark.type() != CV_8UC1 || bright.type() != CV_8UC1 || pattern.type() != CV_8UC1 ||
        dark.size() != bright.size() || dark.size() != pattern.size() || dark.empty())
        return false;
    pattern.copyTo(lastPattern);
    bright.copyTo(lastBright);
    dark.copyTo(lastDark);

    // The range is kept signed before averaging: clamping noise at 0 first would lift the average
    // off the screen by about half the noise and could carry it over a dim screen's floor.
    cv::subtract(bright, dark, range, cv::noArray(), CV_32F);
    cv::blur(range, wideRange, cv::Size(maskWindow, maskWindow), cv::Point(-1, -1), cv::BORDER_REPLICATE);
    brightRange = percentile99(wideRange);
    floor = std::max(minimumFloor, floorFraction * brightRange);

    // A screen only a few noise levels bright: the white and black frames carry no detail, so
    // they are smoothed and their noise stays out of the quotient. Clean captures keep every
    // pixel's own frames.
    noise = whiteNoise(bright, wideRange, floor);
    smoothed = brightRange < lowSignalToNoise * noise;
    const cv::Mat* darkSource = &dark;
    const cv::Mat* brightSource = &bright;
    if (smoothed) {
        cv::blur(dark, smoothDark, cv::Size(smoothWindow, smoothWindow), cv::Point(-1, -1),
                 cv::BORDER_REPLICATE);
        cv::blur(bright, smoothBright, cv::Size(smoothWindow, smoothWindow), cv::Point(-1, -1),
                 cv::BORDER_REPLICATE);
        darkSource = &smoothDark;
        brightSource = &smoothBright;
    }
    const std::uint8_t* table = quotientTable().data();
    out.create(dark.size(), CV_8UC1);
    const float projectionFloor = static_cast<float>(floor);
    const int floorLevels = static_cast<int>(std::ceil(floor));
    long projected = 0;
    for (int y = 0; y < dark.rows; ++y) {
        const float* wide = wideRange.ptr<float>(y);
        const std::uint8_t* d = darkSource->ptr<std::uint8_t>(y);
        const std::uint8_t* b = brightSource->ptr<std::uint8_t>(y);
        const std::uint8_t* p = pattern.ptr<std::uint8_t>(y);
        std::uint8_t* o = out.ptr<std::uint8_t>(y);
        for (int x = 0; x < dark.cols; ++x) {
            // Both the wide average and the pixel itself must clear the floor (the pixel at half
            // of it): the wide window reaches a few pixels past the projection's edge, where the
            // range is noise alone.
            const int pixelRange = std::max(b[x] - d[x], 0);
            if (!(wide[x] > projectionFloor) || pixelRange == 0 || 2 * pixelRange < floorLevels) {
                o[x] = 255;
                continue;
            }
            ++projected;
            o[x] = table[pixelRange * 256 + std::max(b[x] - p[x], 0)];
        }
    }
    projectedFraction = static_cast<double>(projected) / (static_cast<double>(dark.rows) * dark.cols);
    size = out.size();
    resultSmoothing = smoothingFor(noise, brightRange, smoothed);
    if (resultSmoothing > 0.0)
        cv::GaussianBlur(out, out, cv::Size(), resultSmoothing, resultSmoothing, cv::BORDER_REPLICATE);
    lastResult = out;
    return true;
}
