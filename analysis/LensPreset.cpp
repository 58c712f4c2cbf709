#include "analysis/LensPreset.h"

#include <cstddef>

LensPreset LensPreset::forLens(eLens lens, int fwMinor) {
    switch (lens) {
    case 1:
        return {682.6771, 325.4162, 2.945825e-07, 2.667841e-13, -1.078467e-19};
    case 2:
    case 4:
        return {619.8648, 330.0687, 1.12361e-08, 1.89171e-12, -4.075417e-19};
    case 3:
        if (fwMinor < 10)
            return {612.0396, 325.86, 1.357969e-06, -1.929077e-13, 1.002503e-17};
        return {617.2931, 351.1378, 1.330351e-06, -7.278473e-13, 9.205437e-18};
    default:
        return {};
    }
}

MappingModel LensPreset::model(const double* projective) const {
    MappingModel m;
    for (int i = 0; projective && i < 8; ++i)
        m.p[static_cast<std::size_t>(i)] = projective[i];
    m.p[MappingModel::Cx] = cx;
    m.p[MappingModel::Cy] = cy;
    m.p[MappingModel::K1] = k1;
    m.p[MappingModel::K2] = k2;
    m.p[MappingModel::K3] = k3;
    return m;
}
