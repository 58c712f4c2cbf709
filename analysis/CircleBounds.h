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
    // The camera box-height minimum. A lens type 3 pass that sees outlines lowers it to 20 for
    // that pass only; with keepLoweredBoxHeight (a fault switch for the benchmark) the lowered
    // value stays for the rest of the process, so a result would depend on what ran before.
    int minBoxHeight = 24;
    bool keepLoweredBoxHeight = false;
    // Recompute the side and area bounds when a calibration draws discs of another size.
    bool followScreenSize = true;

    void computeFor(double discDiameter);
};
