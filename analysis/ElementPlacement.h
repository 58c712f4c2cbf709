#pragma once

#include "analysis/DetectionMapping.h"
#include "analysis/DetectionWeights.h"
#include "analysis/ElementFit.h"
#include "analysis/LensType.h"
#include "analysis/MarkerPass.h"

#include <array>
#include <opencv2/core/mat.hpp>
#include <opencv2/core/types.hpp>

// Places each disc and marker that the outlines found again, to a small fraction of a camera
// pixel, by fitting it as drawn (ElementFit) through a model fitted to the outlines' centres.
class ElementPlacement {
public:
    static constexpr int maxTargets = 25;

    struct Setup {
        const double* targetsXY = nullptr; // count pairs, screen pixels
        const double* drawnXY = nullptr;   // where each target's element is drawn; targetsXY when null
        int count = 0;
        int screenWidth = 0;
        int screenHeight = 0;
        eLens lens = 0;
        int fwMinor = 0;
        std::array<double, 8> seedStart{};
        double smoothing = 0.0; // the image has been smoothed with a Gaussian of this sigma (camera px)
        // The white and black frames of the capture when the image is its pattern frame: the
        // levels around each element are taken from them (see ElementFit::Window).
        const cv::Mat* white = nullptr;
        const cv::Mat* black = nullptr;
    };

    // Replaces each found centre (x and y above 3) by the fitted one where the fit holds; the
    // others, and all of them when fewer than twelve were found, stay as they are. variances
    // (optional) receives the variance the image noise leaves each fitted centre (screen pixels
    // squared, both axes summed; 0 where not fitted), which the fits weigh it by.
    static void refine(const cv::Mat& image, const MarkerPass& markers, const Setup& setup,
                       std::array<cv::Point2d, maxTargets>& centres,
                       DetectionWeights::Table* variances = nullptr);

private:
    // The element's fitted centre; the outlines' centre when it cannot be fitted or the fit lands
    // far from it.
    static cv::Point2d discCentre(const cv::Mat& image, const DetectionMapping& mapping, const Setup& setup,
                                  int target, const cv::Point2d& outlineCentre, double& variance);
    static cv::Point2d markerCentre(const cv::Mat& image, const DetectionMapping& mapping,
                                    const MarkerPass& markers, const Setup& setup, int target,
                                    const cv::Point2d& outlineCentre, double& variance);
    // Screen pixels from the target to the nearest edge of the screen.
    static double screenEdgeDistance(const Setup& setup, int target);
    static double edgeBlur(double smoothing, const DetectionMapping& mapping, const cv::Point2d& camera);
    static cv::Point2d fittedCentre(const cv::Mat& image, const DetectionMapping& mapping,
                                    const ElementFit::Shape& shape, const ElementFit::Window& window,
                                    double& variance);
};
