#pragma once

#include "analysis/AnalysisResult.h"
#include "analysis/AnalysisSetup.h"

// The automatic analysis of one calibration, from its three frames to a fitted model: the frames
// normalised into one image, the targets detected, and the fit (semi-automatic first when tuning).
// Reentrant: every call works on its own state, so runs on different threads never meet.
AnalysisResult analyse(const CalibrationFrames& frames, const AnalysisSetup& setup);

// The automatic fit alone, on detections given per target in camera pixels ((0, 0) when missing)
// and taken as already corrected by any offsets: what analyse() does after its detection. For
// measuring the fit apart from the detection.
AnalysisResult fitDetections(const AnalysisResult::PointTable& detections, const AnalysisSetup& setup);
