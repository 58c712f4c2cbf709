#pragma once

#include "analysis/LensType.h"

#include <array>

// Camera-pixel offsets per automatic target that the module's pen needs on top of the detected
// pattern positions, measured per lens; used when no tuned set is stored.
class DefaultTweakTables {
public:
    static constexpr int count = 20;
    struct Table {
        std::array<double, count> x;
        std::array<double, count> y;
    };
    static const Table& forLens(eLens lens, int fwMinor);
};
