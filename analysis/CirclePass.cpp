#include "analysis/CirclePass.h"

#include "analysis/MarkerPass.h"
#include "analysis/SpeckleFilter.h"

#include "analysis/RobustMean.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <opencv2/imgproc.hpp>
#include <thread>

CirclePass::CirclePass(const DetectionMapping& detectionMapping, const Setup& passSetup,
                       CircleBounds& circleBounds)
    : mapping(detectionMapping)
    , setup(passSetup)
    , bounds(circleBounds) {
    if (setup.count > maxTargets)
        setup.count = maxTargets;
}

bool CirclePass::isCircleTarget(int target) {
    return target >= 0 && target < maxTargets && !MarkerPass::isMarkerTarget(target);
}

bool CirclePass::acceptsInCamera(int boxWidth, int boxHeight, double area, int minBoxHeight) {
    return boxWidth >= 24 && boxWidth <= 160 && boxHeight >= minBoxHeight && boxHeight <= 160 &&
           area >= 200.0 && area <= 20000.0;
}

int CirclePass::discRadius(int screenWidth, int screenHeight) {
    const int byWidth = static_cast<int>(std::floor(screenWidth * 50.0 / 1280.0 + 0.5));
    const int byHeight = static_cast<int>(std::floor(screenHeight * 50.0 / 800.0 + 0.5));
    return byWidth > byHeight ? byWidth : byHeight;
}

void CirclePass::run(const cv::Mat& image, const std::vector<int>& candidates) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point started = Clock::now();
    // Tracing the contours is most of the work and each grey level's tracing stands alone: a
    // helper thread traces the next level while this one traces the current; the contours are
    // then examined strictly in candidate order, as one thread would.
    const bool twoThreads = std::thread::hardware_concurrency() > 1;
    Traced current, next;
    for (size_t i = 0; i < candidates.size(); i += 2) {
        const bool pair = i + 1 < candidates.size();
        std::thread helper;
        if (pair && twoThreads)
            helper = std::thread([&] { traceContours(image, candidates[i + 1], next); });
        traceContours(image, candidates[i], current);
        if (helper.joinable())
            helper.join();
        else if (pair)
            traceContours(image, candidates[i + 1], next);
        examineContours(current);
        if (Clock::now() - started > std::chrono::milliseconds(timeCapMs))
            break;
        if (!pair)
            break;
        examineContours(next);
        if (Clock::now() - started > std::chrono::milliseconds(timeCapMs))
            break;
    }
}

bool CirclePass::acceptOnScreen(const std::vector<cv::Point>& screen) const {
    const cv::Rect box = cv::boundingRect(screen);
    const double area = cv::contourArea(screen);
    return box.width >= bounds.sideMin && box.width <= bounds.sideMax && box.height >= bounds.sideMin &&
           box.height <= bounds.sideMax && area >= bounds.areaMin && area <= bounds.areaMax;
}

void CirclePass::traceContours(const cv::Mat& image, int level, Traced& out) {
    cv::Mat binary;
    cv::threshold(image, binary, level, 255, cv::THRESH_BINARY);
    out.contours.clear();
    // On a speckled binarisation, outlines smaller than every box the search accepts (24 wide, at
    // least 20 high) are dropped before tracing; the outlines that remain are exactly those of the
    // unfiltered image, and the search rejects the dropped ones anyway.
    if (SpeckleFilter::worthApplying(binary))
        out.anyOutline = SpeckleFilter::apply(binary, 24, 20);
    else
        out.anyOutline = cv::countNonZero(binary) > 0;
    cv::findContours(binary, out.contours, cv::RETR_CCOMP, cv::CHAIN_APPROX_SIMPLE);
}

void CirclePass::runContourPass(const cv::Mat& image, int level) {
    Traced traced;
    traceContours(image, level, traced);
    examineContours(traced);
}

void CirclePass::examineContours(const Traced& traced) {
    const Contours& contours = traced.contours;
    const int radius = discRadius(setup.screenWidth, setup.screenHeight);
    const double diameter = 2.0 * radius + 1.0;
    // A disc is taken within 50 screen pixels of its target, one disc radius on a 1280 x 800 screen.
    // On a larger screen a camera pixel spans more screen pixels, and a lens off its preset moves
    // the corner discs further than 50 from their targets: the window grows with the radius there.
    const double window = std::max(50.0, static_cast<double>(radius));
    if (!bounds.set || (bounds.followScreenSize && bounds.diameter != diameter))
        bounds.computeFor(diameter);
    int minBoxHeight = bounds.minBoxHeight;
    if (setup.lens == 3 && traced.anyOutline) {
        minBoxHeight = 20;
        if (bounds.keepLoweredBoxHeight)
            bounds.minBoxHeight = 20;
    }

    for (const std::vector<cv::Point>& contour : contours) {
        const cv::Rect box = cv::boundingRect(contour);
        if (!acceptsInCamera(box.width, box.height, cv::contourArea(contour), minBoxHeight))
            continue;
        cv::Point2d c;
        if (!polygonCentroid(contour, c))
            continue;
        double sx = 0.0, sy = 0.0;
        mapping.map(c.x, c.y, sx, sy);
        mapping.mapRounded(contour, screenPolygon);
        if (!acceptOnScreen(screenPolygon))
            continue;
        for (int j = 0; j < setup.count; ++j) {
            if (!isCircleTarget(j))
                continue;
            if (setup.lens == 3 && j != 1 && j != 2 && j != 3 && box.height < 24)
                continue;
            const double tx = setup.targetsXY[2 * j];
            const double ty = setup.targetsXY[2 * j + 1];
            if (!(std::fabs(sx - tx) < window && std::fabs(sy - ty) < window))
                continue;
            cv::Point2d m;
            if (polygonCentroid(screenPolygon, m)) {
                const cv::Point2d r = mapping.refineByInverseSearch(m, c);
                centres[static_cast<size_t>(j)].push_back(r);
            }
            break;
        }
    }
}

cv::Point2d CirclePass::centre(int target) const {
    return robustMean(centres[static_cast<size_t>(target)]);
}
