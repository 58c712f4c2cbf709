#pragma once

#include "analysis/DetectionMapping.h"

#include <array>
#include <opencv2/core/mat.hpp>
#include <opencv2/core/types.hpp>

// Places one element of the pattern (a disc or a marker) on the screen to a small fraction of a
// camera pixel. The camera's pixels around it are fitted with the element as drawn, softened by
// the blur of camera and normalisation, between a lit and an unlit level that may slope across the
// window: the element's offset, its edges' softness and the levels by Gauss-Newton steps. The
// levels are planes fitted with the rest, or, given the capture's white and black frames, those
// frames' planes scaled by the exposure. Every pixel counts by how much the element's edges
// change it, so the noise of thousands of pixels averages out where one outline at one grey level
// would follow it.
class ElementFit {
public:
    struct Shape {
        bool marker = false;
        double discRadius = 0.0;           // screen pixels, for a disc
        std::array<bool, 36> blackCells{}; // a marker's six by six cells, row by row, in its own frame
        cv::Point2d cellX, cellY;          // a marker cell's sides on the screen, along its own x and y
    };
    struct Window {
        cv::Point2d camera;  // the element's centre in the camera, as its outlines place it
        double radius = 0.0; // the window's radius on the screen, around that centre
        double blur = 1.0;   // the edges' expected softness, a Gaussian sigma in screen pixels
        // The white and black frames of the same capture (optional, both or neither): the levels
        // the element lies between are then taken from them, and only scaled by the fit.
        const cv::Mat* white = nullptr;
        const cv::Mat* black = nullptr;
    };

    // The element's centre on the screen; false when the window leaves the image, holds too
    // little contrast or the steps do not settle. variance (optional) receives the centre's
    // variance from the image noise, both axes summed, in screen pixels squared.
    static bool fit(const cv::Mat& image, const DetectionMapping& mapping, const Shape& shape,
                    const Window& window, cv::Point2d& screenCentre, double* variance = nullptr);
};
