#include "analysis/TopRowLimit.h"

#include "analysis/MappingModel.h"

int TopRowLimit::of(const double* params, int width, int height) {
    const MappingModel model = MappingModel::fromArray(params);
    const double band = height * 30.0 / 100.0;
    // The answer is the lowest qualifying row, so the scan starts at the bottom and stops at the
    // first row with a pixel in the band: the same row a full top-down scan ends with.
    for (int row = 719; row >= 0; --row) {
        for (int column = 0; column < 1280; ++column) {
            double x = 0.0, y = 0.0;
            model.cameraToScreen(column, row, x, y);
            if (x >= 0.0 && x < width && y >= 0.0 && y < band)
                return row;
        }
    }
    return -1;
}
