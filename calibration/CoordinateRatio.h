#pragma once

#include <QPoint>

// The coordinate-ratio check: the module injects touches at two known points of its 4800 x 3000
// output space; where they land on a W x H screen tells whether its x/y ratio needs correcting.
class CoordinateRatio {
public:
    struct Correction {
        int mode = 0; // 0 none, 1 correct x, 2 correct y
        double ratio = 0.0;
    };
    // The two injected touches, in device coordinates.
    static constexpr int targetX[2] = {1000, 3800};
    static constexpr int targetY[2] = {1000, 2000};

    static Correction compute(QPoint first, QPoint second, int screenWidth, int screenHeight);
};
