#pragma once

#include "calibration/PatternGeometry.h"

#include <QImage>

class QPainter;

// Paints the automatic calibration pattern: white, black discs and the fiducial markers, with
// slots renumbered and markers mirrored for ceiling and rear mounting.
class PatternPainter {
public:
    // targets: the 20 automatic targets in stored (row by row) order.
    static void paint(QPainter& painter, int width, int height,
                      const PatternGeometry::AutomaticTargets& targets, int ceiling, int rear);
    // The pattern of a width x height display as an 8-bit grey image.
    static QImage render(int width, int height, int ceiling, int rear);
};
