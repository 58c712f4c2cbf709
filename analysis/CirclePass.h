#pragma once

#include "analysis/CircleBounds.h"
#include "analysis/DetectionMapping.h"
#include "analysis/LensType.h"

#include <array>
#include <opencv2/core/mat.hpp>
#include <vector>

// Finds the black discs of the pattern: contours of each binarisation that have a disc's size in
// the camera and, mapped to the screen, near a circle target.
class CirclePass {
public:
    static constexpr int maxTargets = 25;
    static constexpr int timeCapMs = 5000;

    struct Setup {
        const double* targetsXY = nullptr; // count pairs
        int count = 0;
        int screenWidth = 0;
        int screenHeight = 0;
        eLens lens = 0;
    };

    CirclePass(const DetectionMapping& mapping, const Setup& setup, CircleBounds& bounds);

    using Contours = std::vector<std::vector<cv::Point>>;
    struct Traced {
        Contours contours;
        bool anyOutline = false; // the binarisation had outlines at all (before small ones were dropped)
    };

    // Contour passes for the grey levels in order, until the time cap has passed.
    void run(const cv::Mat& image, const std::vector<int>& candidates);
    // One contour pass: binarise at level, trace the outlines and holes, examine them.
    void runContourPass(const cv::Mat& image, int level);
    // Robust mean of the refined centres; (0, 0) when none was found.
    cv::Point2d centre(int target) const;

    static bool isCircleTarget(int target);
    // The camera-side size test a contour passes before it is mapped at all.
    static bool acceptsInCamera(int boxWidth, int boxHeight, double area, int minBoxHeight);
    static int discRadius(int screenWidth, int screenHeight);

private:
    static void traceContours(const cv::Mat& image, int level, Traced& out);
    void examineContours(const Traced& traced);
    bool acceptOnScreen(const std::vector<cv::Point>& screen) const;

    const DetectionMapping& mapping;
    Setup setup;
    CircleBounds& bounds;
    std::array<std::vector<cv::Point2d>, maxTargets> centres;
    std::vector<cv::Point> screenPolygon;
};
