#pragma once

// Acceptance bounds for a disc's outline mapped to the screen, and the camera box-height minimum.
// The analyzer keeps one set for the whole process.
struct CircleBounds {
    bool set = false;
    double diameter = 0.0;
    double sideMin = 0.0;
    double sideMax = 0.0;
    double areaMin = 0.0;
    double areaMax = 0.0;
    // Lowered to 20 for the rest of the process by the first contour pass with lens type 3.
    int minBoxHeight = 24;
    // Recompute the side and area bounds when a calibration draws discs of another size.
    bool followScreenSize = true;

    void computeFor(double discDiameter);
};
