#pragma once

#include "analysis/MappingModel.h"

#include <functional>
#include <vector>

// How far a fitted model can be trusted between and beyond the points it was fitted to. The
// detections' scatter, estimated from the fit's own residuals (and never taken below what the
// drawing of the pattern alone leaves), is carried through the model's sensitivity to each of its
// parameters into the screen position it gives every part of the screen. A fit from targets that
// cluster on one side extrapolates the rest, and its spread there shows it.
class FitUncertainty {
public:
    // Scatter per screen coordinate a fit never claims to beat: the pattern drawn on whole pixels.
    static constexpr double leastScatter = 0.35;

    // cameraXY: count (x, y) pairs the model was fitted to; error: the fit's sum of squared screen
    // residuals. The spread is sampled on a camera grid over the points that map onto the screen.
    FitUncertainty(const MappingModel& model, const std::vector<double>& cameraXY, double error);

    // Root mean square of the predicted position spread (screen pixels) over the screen seen by
    // the camera (0 .. width, 0 .. height), and its largest value; both infinite when the model
    // is not determined by the points (too few or degenerate).
    void spreadOverScreen(int screenWidth, int screenHeight, double& rms, double& worst) const;

    double scatter() const { return sigma; }

    // The spread of this fit beyond what the same fit would have from allCameraXY, a fuller set
    // judged with this fit's scatter: the part of the uncertainty that comes from the points
    // missing from this set. Infinite when this fit is not determined.
    double spreadBeyond(const std::vector<double>& allCameraXY, int screenWidth, int screenHeight) const;

    // The predicted spread (screen pixels) of the screen point of camera point (x, y); infinite
    // when the model is not determined.
    double spreadAt(double x, double y) const;
    // Calls visit(screen x, screen y, spread) for each point of a 16-pixel camera grid that the
    // model puts on the screen.
    void forEachScreenSample(int screenWidth, int screenHeight,
                             const std::function<void(double, double, double)>& visit) const;

    // How much the fit follows a point at camera (x, y) among those it was fitted to: the 2 x 2
    // block of the hat matrix there (screen x, y). False when the model is not determined.
    bool leverage(double x, double y, double (&hat)[2][2]) const;

    // The camera point the model maps to screen point (sx, sy), searched over the 1280 x 720
    // frame and refined; false when the model brings no frame point near it.
    static bool cameraPointOf(const MappingModel& model, double sx, double sy, double& x, double& y);

private:
    // Partial derivatives of the screen point of camera point (x, y) by the 13 parameters.
    void gradients(double x, double y, double (&gx)[MappingModel::parameterCount],
                   double (&gy)[MappingModel::parameterCount]) const;

    MappingModel model;
    double sigma = 0.0;
    bool determined = false;
    // Covariance of the parameters scaled by the column norms (see the constructor).
    double covariance[MappingModel::parameterCount][MappingModel::parameterCount] = {};
    double columnScale[MappingModel::parameterCount] = {};
};
