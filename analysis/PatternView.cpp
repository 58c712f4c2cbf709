#include "analysis/PatternView.h"

PatternView::Orientation PatternView::of(const HomographySeed& seed, double u, double v) {
    double x0 = 0.0, y0 = 0.0, xu = 0.0, yu = 0.0, xv = 0.0, yv = 0.0;
    seed.toScreen(u, v, x0, y0);
    seed.toScreen(u + 1.0, v, xu, yu);
    seed.toScreen(u, v + 1.0, xv, yv);
    const double dXdu = xu - x0, dYdu = yu - y0, dXdv = xv - x0, dYdv = yv - y0;
    const bool mirrored = dXdu * dYdv - dXdv * dYdu < 0.0;
    // Without a mirror an upright camera has dX/du and dY/dv both positive; with one, the camera's
    // y axis still follows the screen's when only left and right are swapped.
    const bool turned = mirrored ? dYdv < 0.0 : dXdu + dYdv < 0.0;
    if (mirrored)
        return turned ? MirroredAndTurned : Mirrored;
    return turned ? Turned : Upright;
}

PatternView::Orientation PatternView::unflipped(Orientation inFlippedImage) {
    switch (inFlippedImage) {
    case Upright:
        return Mirrored;
    case Mirrored:
        return Upright;
    case Turned:
        return MirroredAndTurned;
    case MirroredAndTurned:
        break;
    }
    return Turned;
}

const char* PatternView::reason(Orientation orientation) {
    switch (orientation) {
    case Turned:
        return "the camera sees the pattern turned upside down: the Ceiling option looks wrong";
    case Mirrored:
        return "the camera sees the pattern mirrored: the Rear Screen option looks wrong";
    case MirroredAndTurned:
        return "the camera sees the pattern mirrored and upside down: the Ceiling and Rear Screen options "
               "look wrong";
    case Upright:
        break;
    }
    return "";
}
