#pragma once

#include "analysis/MappingModel.h"

#include <QMetaType>
#include <vector>

// How closely the pen is expected to land on what it points at after a calibration, in screen
// pixels, and the ninth of the screen (thirds across and down) where it is worst. A value: the
// calibration controller hands it to the settings window.
class PointingAccuracy {
public:
    enum class Grade { excellent, good, poor };
    // Below a pixel the pen's own jitter dominates; up to three pixels a cursor still lands on a
    // small button; beyond that a recalibration is worth it.
    static constexpr double excellentBelow = 1.0;
    static constexpr double goodBelow = 3.0;
    // Regions row by row from the top left: 0 top left .. 4 middle .. 8 bottom right.
    static constexpr int regionCount = 9;

    PointingAccuracy() = default; // not known
    PointingAccuracy(double pixels, int leastAccurateRegion);

    bool known() const { return region >= 0; }
    double pixels() const { return figure; }
    int leastAccurateRegion() const { return region; }
    Grade grade() const;

    // The region of screen point (sx, sy); points off the screen count to the nearest region.
    static int regionOf(double sx, double sy, int screenWidth, int screenHeight);

    // An automatic fit: its scatter, from the sum of squared screen residuals (error) at the
    // camera points it was fitted to, carried through the model over the screen (see
    // FitUncertainty). The figure is the root mean square spread over the screen, the region the
    // one with the largest root mean square.
    static PointingAccuracy ofModelFit(const MappingModel& model, const std::vector<double>& cameraXY,
                                       double error, int screenWidth, int screenHeight);
    // Touched points: the residuals (screen pixels) of the best projective map from the camera
    // points (with the lens's bend taken out) to their screen targets (n pairs each). The figure is their
    // root mean square, widened for the map's 8 parameters; the region the one of the target with the largest
    // residual.
    static PointingAccuracy ofTouchedPoints(const std::vector<double>& cameraXY,
                                            const std::vector<double>& screenXY, int screenWidth,
                                            int screenHeight);

private:
    double figure = 0.0;
    int region = -1;
};
Q_DECLARE_METATYPE(PointingAccuracy)
