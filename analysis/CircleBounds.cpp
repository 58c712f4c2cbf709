#include "analysis/CircleBounds.h"

void CircleBounds::computeFor(double discDiameter) {
    constexpr double pi = 3.14159265358979323846;
    const double half = discDiameter / 2.0;
    diameter = discDiameter;
    sideMin = 0.95 * discDiameter;
    sideMax = 1.15 * discDiameter;
    areaMin = 0.9 * pi * half * half;
    areaMax = 1.1 * pi * half * half;
    set = true;
}
