#pragma once

#include <opencv2/core/mat.hpp>

// Turns the black, white and pattern frames into one image: lit pattern near 255, unlit near 0,
// 255 off the projection.
//
// Which pixels belong to the projection is decided on the white-minus-black range averaged over a
// wide window, so sensor noise off the screen (which, scaled up to the full grey range, would cover
// the image with speckle) is told apart from a dim or low-contrast screen whose range is only a
// few grey levels. The floor is a fraction of the frame's own bright range, so it follows the
// capture rather than a fixed level. On the projection each pixel is
//   255 - min(256·drop / (range + 1), 255),  drop = white - pattern, range = white - black,
// each clamped at 0; a pixel without range is 255. When the screen is only a few noise levels
// bright, white and black are taken from lightly smoothed frames (they carry no detail, and their
// noise would otherwise dominate the quotient). When the pattern frame's noise, scaled up by the
// quotient, would still cover the result with speckle, the result itself is smoothed just enough
// to bring it down (a clean capture is left exactly as computed).
class PatternNormaliser {
public:
    // Window of the projection test, camera pixels (odd).
    static constexpr int maskWindow = 15;
    // Smoothing of the white and black frames of a low-signal capture (odd), and the bright range
    // in units of the white frame's noise below which a capture counts as low-signal.
    static constexpr int smoothWindow = 5;
    static constexpr double lowSignalToNoise = 25.0;
    // A pixel is on the projection when its averaged range exceeds this fraction of the frame's
    // bright range (99th percentile), and at least minimumFloor levels; its own range must reach
    // half of that.
    static constexpr double floorFraction = 0.25;
    static constexpr double minimumFloor = 1.0;
    // The normalised image's expected noise (sigma, grey levels of the result) above which it is
    // smoothed, and the noise the smoothing aims to leave; the smoothing is capped so that the
    // smallest disc and marker cell keep their shape.
    static constexpr double noisyResult = 8.0;
    static constexpr double residualNoise = 4.0;
    static constexpr double maximumSmoothing = 3.0;

    // False (out untouched) when the frames are not equal-sized, non-empty 8-bit single channel.
    bool normalise(const cv::Mat& dark, const cv::Mat& bright, const cv::Mat& pattern, cv::Mat& out);

    // Grey levels of the last projection floor and of the bright range it was derived from.
    double lastFloor() const { return floor; }
    double lastBrightRange() const { return brightRange; }
    // Fraction of the last frame found on the projection.
    double lastProjectedFraction() const { return projectedFraction; }
    // The white frame's noise (sigma, grey levels) and whether the frames were smoothed.
    double lastNoise() const { return noise; }
    bool lastSmoothed() const { return smoothed; }
    // Sigma (camera pixels) of the Gaussian the last result was smoothed with; 0 for none.
    double lastResultSmoothing() const { return resultSmoothing; }
    cv::Size lastSize() const { return size; }
    // The pattern frame of the last normalisation when image is that normalisation's result, else
    // an empty image. Its pixels carry the pattern with no other frame's noise, nothing clipped.
    cv::Mat patternFrameOf(const cv::Mat& image) const;
    // The white and black frames of that normalisation in the same way.
    cv::Mat brightFrameOf(const cv::Mat& image) const {
        return patternFrameOf(image).empty() ? cv::Mat() : lastBright;
    }
    cv::Mat darkFrameOf(const cv::Mat& image) const {
        return patternFrameOf(image).empty() ? cv::Mat() : lastDark;
    }

    // The smoothing a result needs whose frames have the given noise and bright range: 0 while
    // the result's own noise stays below noisyResult.
    static double smoothingFor(double frameNoise, double brightRange, bool framesSmoothed);

private:
    static double percentile99(const cv::Mat& range);
    static double whiteNoise(const cv::Mat& bright, const cv::Mat& averaged, double projectionFloor);

    // Reused between calibrations: the signed range and its wide average.
    cv::Mat range;
    cv::Mat wideRange;
    cv::Mat smoothDark;
    cv::Mat smoothBright;
    double floor = 0.0;
    double brightRange = 0.0;
    double projectedFraction = 0.0;
    double noise = 0.0;
    bool smoothed = false;
    double resultSmoothing = 0.0;
    cv::Size size;
    cv::Mat lastPattern; // copies: the caller's frames may change
    cv::Mat lastBright;
    cv::Mat lastDark;
    cv::Mat lastResult; // shares the result's pixels, to know it again
};
