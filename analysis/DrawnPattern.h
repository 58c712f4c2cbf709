#pragma once

#include <array>
#include <opencv2/core/types.hpp>

// How the calibration window draws the automatic pattern over its target grid, and so where each
// element's centre lies on the screen. The window paints from these definitions and the analysis
// pairs every element it finds with the point they give. Screen pixel i is centred at i (the
// convention of the mapping the module receives and of the touches it reports).
class DrawnPattern {
public:
    static constexpr int count = 20;
    using Centres = std::array<cv::Point2d, count>;

    // Closest whole number, halves going up (also for negative values).
    static int nearest(double v);
    // Slot drawn at row k, position i of the window's row-by-row order, for the mounting flags.
    static int slotNumber(int row, int position, int ceiling, int rear);
    // First cell column (row) of a marker drawn at the whole pixel x (y): six cells from there.
    static int markerStart(int at, int cell) { return at - 3 * cell; }

    // Centre of the element of a slot drawn at the target (x, y), in window pixels. A disc is filled
    // around the pixel (nearest(x), nearest(y)) and centred on it; a marker's 6m cells cover
    // x - 3m .. x + 3m - 1, so its centre lies half a pixel up and left of that pixel.
    static cv::Point2d elementCentre(int slot, double x, double y);

    // For each target of the analysis (slot k, paired with target k), the centre of the element
    // that carries it, in the frame the fitted mapping gives: the window's frame mirrored along the
    // axes the mounting turns (X to W - 1 - X). targetsXY: the count window targets row by row.
    static Centres centres(const double* targetsXY, int width, int height, int ceiling, int rear);
    // The same for the target pixels themselves, where the pen picture of the touch phase is centred.
    static Centres pixelCentres(const double* targetsXY, int width, int height, int ceiling, int rear);

private:
    static Centres mirrored(const double* targetsXY, int width, int height, int ceiling, int rear,
                            bool elements);
};
