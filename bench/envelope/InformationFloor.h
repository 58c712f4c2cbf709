#pragma once

#include "analysis/AnalysisResult.h"
#include "analysis/DetectionWeights.h"
#include "analysis/MappingModel.h"
#include "sim/VirtualCamera.h"
#include "sim/VirtualPhotometry.h"

#include <QImage>
#include <array>
#include <random>

// What an ideal detector would find of the pattern in one capture: each element's centre where
// the camera sees it drawn, known as precisely as the pattern frame's noise allows and no more.
// That precision is the least covariance any unbiased estimate of the element's position can have
// (the Cramér-Rao bound): the inverse of the sum, over the element's pixels, of how fast the
// element's light changes as it moves, squared, over the noise's variance. Detections drawn with
// that scatter and fitted as the analysis' own are the error no detection can take away from this
// capture, where the pairing floor is what the fit leaves with no noise at all.
class InformationFloor {
public:
    static constexpr int count = 20;
    using Found = std::array<bool, count>;

    // camera: the one that took the capture (its model includes the mounting); white and pattern:
    // the screens photographed; light: the capture's, its noise included.
    InformationFloor(const VirtualCamera& camera, int width, int height, bool ceiling, bool rear,
                     const QImage& white, const QImage& pattern, const VirtualPhotometry& light);

    // Slot by slot, the drawn centre in the camera and the variance of its position an ideal
    // detector leaves, as the analysis reports it (screen pixels squared, both axes).
    const AnalysisResult::PointTable& centres() const { return centre; }
    const DetectionWeights::Table& variances() const { return screenVariance; }
    // One capture's worth of ideal detections of the found slots, each off its centre by a draw
    // of its scatter; the others missing.
    AnalysisResult::PointTable draw(std::mt19937& random, const Found& found) const;

private:
    AnalysisResult::PointTable centre{};
    DetectionWeights::Table screenVariance{};
    // Per slot the lower triangle of the camera covariance's Cholesky factor: l00, l10, l11.
    std::array<std::array<double, 3>, count> factor{};
};
