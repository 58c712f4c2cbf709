#pragma once

#include "analysis/AnalysisSetup.h"
#include "calibration/PatternGeometry.h"

#include <QPointF>

// What the calibration window gives the analysis for a virtual screen: its automatic targets and
// the mounting it drew the pattern for. Zero stored offsets unless defaultTweaks: the virtual
// camera has no pen, so the pattern itself is the truth.
inline AnalysisSetup virtualScreenSetup(int width, int height, eLens lens, int fwMinor, bool ceiling,
                                        bool rear, bool defaultTweaks = false) {
    AnalysisSetup setup;
    setup.screenWidth = width;
    setup.screenHeight = height;
    setup.lens = lens;
    setup.fwMinor = fwMinor;
    setup.ceiling = ceiling ? 1 : 0;
    setup.rear = rear ? 1 : 0;
    for (const QPointF& t : PatternGeometry::automaticTargets(width, height))
        setup.targets.emplace_back(static_cast<float>(t.x()), static_cast<float>(t.y()));
    if (!defaultTweaks)
        setup.storedOffsets.assign(20, cv::Point2f(0.0f, 0.0f));
    return setup;
}
