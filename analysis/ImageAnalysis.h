#pragma once

#include "analysis/AnalysisResult.h"
#include "analysis/AnalysisSetup.h"
#include "analysis/DetectionWeights.h"

// The automatic analysis of one calibration, from its three frames to a fitted model: the frames
// normalised into one image, the targets detected, and the fit (semi-automatic first when tuning).
// Reentrant: every call works on its own state, so runs on different threads never meet.
AnalysisResult analyse(const CalibrationFrames& frames, const AnalysisSetup& setup);

// The automatic fit alone, on detections given per target in camera pixels ((0, 0) when missing)
// and taken as already corrected by any offsets: what analyse() does after its detection. For
// measuring the fit apart from the detection. variances (optional): each detection's, as the
// detection would report it (screen pixels squared, both axes; 0 where unknown).
AnalysisResult fitDetections(const AnalysisResult::PointTable& detections, const AnalysisSetup& setup,
                             const DetectionWeights::Table* variances = nullptr);
