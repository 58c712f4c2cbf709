#pragma once

#include "analysis/DetectionReport.h"
#include "analysis/MarkerLayout.h"

#include <opencv2/core/mat.hpp>
#include <vector>

class DetectionMapping;
class MappingModel;

// What the camera's view says about the pattern beyond the detected points: how its layout lies,
// and which targets lie outside the view. Both explain a failed calibration to the user.
class ViewJudgement {
public:
    // How the markers' layout is seen (report.view, report.viewKnown); for too few markers, looks
    // for them in the image mirrored.
    static void judgeLayout(const cv::Mat& image, const std::vector<int>& candidates,
                            const MarkerLayout::Centres& markerCentres, const MarkerLayout& layout,
                            const MappingModel& presetModel, DetectionReport& report);
    // Marks (report.outsideView) the targets that no camera pixel maps near through the mapping:
    // cut off by the frame's edge or beyond it.
    static void markOutsideView(const DetectionMapping& mapping, const double* targetsXY, int count,
                                double discRadius, DetectionReport& report);
};
