#pragma once

#include <QPointF>
#include <array>

// Where the calibration window puts its targets and how big it draws them, for a display of
// W x H pixels. The pattern analysis looks for exactly this geometry.
class PatternGeometry {
public:
    static constexpr int automaticCount = 20;
    static constexpr int manualCount = 16;
    using AutomaticTargets = std::array<QPointF, automaticCount>;
    using ManualTargets = std::array<QPointF, manualCount>;
    // Inner 4 x 4 cells of a marker, rows top to bottom, true for black.
    using MarkerCells = std::array<std::array<bool, 4>, 4>;

    // Closest whole number, halves going up (also for negative values).
    static int nearest(double v);

    static int discRadius(int width, int height);
    static double margin(int width, int height);
    static int markerCellSize(int radius);

    // 20 targets in four rows of five, numbered row by row, at whole pixels.
    static AutomaticTargets automaticTargets(int width, int height);
    // The same positions numbered column by column (row r, column c becomes 4c + r).
    static AutomaticTargets semiAutomaticTargets(int width, int height);
    // 16 targets in four columns of four, numbered column by column, fractional.
    static ManualTargets manualTargets(int width, int height);

    // Slot drawn at row k, position i of the stored order, for the mounting flags.
    static int slotNumber(int row, int position, int ceiling, int rear);
    static bool isMarkerSlot(int slot);
    // Cells of the marker with this id; all white for an id that is not a marker slot.
    static MarkerCells markerCells(int id);
};
