#include "analysis/ThresholdCandidates.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

std::vector<int> thresholdCandidatesFromHistogram(const int* histogram, int imageWidth) {
    const int minimum = imageWidth / 10;
    std::vector<int> candidates;
    for (int level = 1; level <= 254; ++level) {
        if (histogram[level] > minimum)
            candidates.push_back(level);
    }
    if (candidates.size() <= 20)
        return candidates;

    struct Entry {
        int level;
        int count;
    };
    std::array<Entry, 254> sorted{};
    for (int level = 1; level <= 254; ++level)
        sorted[static_cast<size_t>(level - 1)] = {level, histogram[level]};
    // Exchange sort, descending by count; its order among equal counts decides which level of a
    // close pair survives, so no other sort may replace it.
    for (size_t i = 0; i < sorted.size(); ++i) {
        for (size_t j = i + 1; j < sorted.size(); ++j) {
            if (sorted[i].count < sorted[j].count)
                std::swap(sorted[i], sorted[j]);
        }
    }
    const int floorCount = (sorted[19].count + sorted[20].count) / 2;
    int lo = 255;
    int hi = 0;
    for (int level = 1; level <= 254; ++level) {
        if (histogram[level] >= floorCount) {
            lo = std::min(lo, level);
            hi = std::max(hi, level);
        }
    }
    std::array<bool, 256> isCandidate{};
    for (int level : candidates)
        isCandidate[static_cast<size_t>(level)] = level >= lo && level <= hi;

    std::vector<int> accepted;
    for (const Entry& entry : sorted) {
        if (!isCandidate[static_cast<size_t>(entry.level)])
            continue;
        const bool apart = std::all_of(accepted.begin(), accepted.end(),
                                       [&](int level) { return std::abs(level - entry.level) >= 5; });
        if (apart)
            accepted.push_back(entry.level);
    }
    return accepted;
}

std::vector<int> thresholdCandidates(const cv::Mat& image) {
    std::array<int, 256> histogram{};
    for (int y = 0; y < image.rows; ++y) {
        const unsigned char* row = image.ptr<unsigned char>(y);
        for (int x = 0; x < image.cols; ++x)
            ++histogram[row[x]];
    }
    histogram[255] = 0; // the histogram covers [0, 255): level 255 is not counted
    return thresholdCandidatesFromHistogram(histogram.data(), image.cols);
}

namespace {

// The level below which half of the histogram's pixels in [from, to] lie.
int medianLevel(const std::array<long, 256>& histogram, int from, int to) {
    long total = 0;
    for (int level = from; level <= to; ++level)
        total += histogram[static_cast<size_t>(level)];
    long seen = 0;
    for (int level = from; level <= to; ++level) {
        seen += histogram[static_cast<size_t>(level)];
        if (2 * seen >= total)
            return level;
    }
    return to;
}

} // namespace

std::vector<int> thresholdCandidatesBetweenModes(const cv::Mat& image, int levels) {
    std::array<long, 256> histogram{};
    for (int y = 0; y < image.rows; ++y) {
        const unsigned char* row = image.ptr<unsigned char>(y);
        for (int x = 0; x < image.cols; ++x)
            ++histogram[row[x]];
    }
    histogram[255] = 0;
    long total = 0;
    double sum = 0.0;
    for (int level = 0; level < 255; ++level) {
        total += histogram[static_cast<size_t>(level)];
        sum += static_cast<double>(level) * static_cast<double>(histogram[static_cast<size_t>(level)]);
    }
    if (total == 0 || levels < 1)
        return {};
    // Otsu: the split that maximises the variance between the two classes.
    int split = 0;
    double best = -1.0;
    long below = 0;
    double sumBelow = 0.0;
    for (int level = 0; level < 254; ++level) {
        below += histogram[static_cast<size_t>(level)];
        sumBelow += static_cast<double>(level) * static_cast<double>(histogram[static_cast<size_t>(level)]);
        const long above = total - below;
        if (below == 0 || above == 0)
            continue;
        const double meanBelow = sumBelow / static_cast<double>(below);
        const double meanAbove = (sum - sumBelow) / static_cast<double>(above);
        const double between = static_cast<double>(below) * static_cast<double>(above) *
                               (meanAbove - meanBelow) * (meanAbove - meanBelow);
        if (between > best) {
            best = between;
            split = level;
        }
    }
    if (best < 0.0)
        return {}; // a single level: no two peaks
    const int dark = medianLevel(histogram, 0, split);
    const int lit = medianLevel(histogram, split + 1, 254);
    constexpr int leastApart = 16;
    if (lit - dark < leastApart)
        return {};
    std::vector<int> candidates;
    for (int i = 0; i < levels; ++i) {
        const double share = levels == 1 ? 0.5 : 0.25 + 0.5 * i / (levels - 1);
        const int level = static_cast<int>(std::lround(dark + share * (lit - dark)));
        if (candidates.empty() || candidates.back() != level)
            candidates.push_back(level);
    }
    return candidates;
}
