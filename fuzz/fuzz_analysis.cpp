// Three camera frames (black, white, pattern) through the whole analysis: normalisation, marker
// and circle detection, the fit and the camera row limit. Each pass has a time cap and the fit an
// iteration cap (the step that crosses it is the last); an input that makes any of them not hold, or hang, is
// a finding.
//
// Input: one byte lens type (mod 4), one byte semi-automatic flag (bit 0), one byte each for the
// frame width (8..160) and height (8..90), then the three frames' grey bytes, row by row (missing
// bytes are 0). The frames are small so that each input costs milliseconds, not the seconds a
// module-size frame takes: the same code runs, on every size the bytes choose.
#include "FuzzSupport.h"

#include "analysis/CirclePass.h"
#include "analysis/ImageAnalysis.h"
#include "analysis/MappingFit.h"
#include "analysis/MarkerPass.h"
#include "calibration/PatternGeometry.h"
#include "device/TargetCounts.h"

#include <QElapsedTimer>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <opencv2/core.hpp>
#include <vector>

namespace {

constexpr int headerSize = 4;
constexpr int minSide = 8;
constexpr int maxWidth = 160;
constexpr int maxHeight = 90;
constexpr int screenWidth = 1920;
constexpr int screenHeight = 1080;
// Both detection passes and each fit run may use their whole cap (a pass stops after the candidate
// that crossed it): six runs for a fit, twelve when a failed semi-automatic fit falls back; the rest
// is bounded work, given generous room for the sanitizers.
constexpr qint64 timeBoundMs =
    2 * MarkerPass::timeCapMs + 2 * CirclePass::timeCapMs + 12 * MappingFit::runTimeCapMs + 10000;

cv::Mat frameFrom(const std::uint8_t* data, std::size_t size, std::size_t at, int width, int height) {
    cv::Mat frame(height, width, CV_8UC1, cv::Scalar(0));
    const std::size_t frameSize = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (at < size)
        std::memcpy(frame.data, data + at, std::min(frameSize, size - at));
    return frame;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < headerSize)
        return 0;
    fuzz_support::ensureApplication();
    const int lens = data[0] % 4;
    const bool semi = (data[1] & 1) != 0;
    // 0..255 spread over each side's range
    const int width = minSide + data[2] * (maxWidth - minSide) / 255;
    const int height = minSide + data[3] * (maxHeight - minSide) / 255;
    const std::size_t frameSize = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const cv::Mat dark = frameFrom(data, size, headerSize, width, height);
    const cv::Mat bright = frameFrom(data, size, headerSize + frameSize, width, height);
    const cv::Mat pattern = frameFrom(data, size, headerSize + 2 * frameSize, width, height);

    AnalysisSetup setup;
    setup.screenWidth = screenWidth;
    setup.screenHeight = screenHeight;
    setup.lens = static_cast<eLens>(lens);
    setup.fwMinor = 12;
    TargetCounts::setForLens(setup.lens);
    setup.autoTargetCount = TargetCounts::autoTargetCount.load();
    setup.manualTargetCount = TargetCounts::manualTargetCount.load();
    for (const QPointF& target : PatternGeometry::automaticTargets(screenWidth, screenHeight))
        setup.targets.emplace_back(static_cast<float>(target.x()), static_cast<float>(target.y()));
    setup.tuning = semi;

    QElapsedTimer clock;
    clock.start();
    const AnalysisResult result = analyse({dark, bright, pattern}, setup);
    if (!result.framesUsable)
        fuzz_support::fail("equal 8-bit frames were refused");
    if (clock.elapsed() > timeBoundMs)
        fuzz_support::fail("the analysis outlasted its time caps");
    if (result.fitIterations < 0 || result.fitIterations > MappingFit::iterationCap + 1)
        fuzz_support::fail("the fit outran its iteration cap");
    if (result.ok &&
        !std::all_of(result.params.begin(), result.params.end(), [](double p) { return std::isfinite(p); }))
        fuzz_support::fail("an accepted fit holds a number that is not finite");
    return 0;
}
