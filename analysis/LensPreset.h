#pragma once

#include "analysis/LensType.h"
#include "analysis/MappingModel.h"

// Start values of the lens distortion (cx, cy, k1, k2, k3) by lens type and firmware minor number.
struct LensPreset {
    double cx = 640.0;
    double cy = 360.0;
    double k1 = 0.0;
    double k2 = 0.0;
    double k3 = 0.0;

    static LensPreset forLens(eLens lens, int fwMinor);
    // The preset's lens part on the given projective part (8 values; zeros when null).
    MappingModel model(const double* projective = nullptr) const;
};
