// The simulated module's decoder of the 370-byte calibration record, then the tracking of camera
// points across the whole frame with whatever model the record holds.
#include "FuzzSupport.h"

#include "module/TrackingModel.h"

#include <cmath>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte chooses the record length so both the exact and the wrong sizes are tried.
    if (size == 0)
        return 0;
    const std::vector<std::uint8_t> record(data + 1, data + size);
    TrackingModel tracking;
    tracking.setRatioError(1.01, 0.99);
    const bool loaded = tracking.loadRecord(record);
    if (loaded != tracking.calibrated())
        fuzz_support::fail("load result and state disagree");
    if (loaded && record.size() != 370)
        fuzz_support::fail("a record of the wrong size was taken");
    if (!loaded)
        return 0;
    if (tracking.screenWidth() <= 0 || tracking.screenHeight() <= 0)
        fuzz_support::fail("a record without a screen size was taken");
    tracking.applyRatioFix(data[0] % 3, 1.0 + data[0] / 256.0);
    double sum = 0.0;
    for (int y = 0; y <= 720; y += 90) {
        for (int x = 0; x <= 1280; x += 160) {
            double outX = 0.0;
            double outY = 0.0;
            if (!tracking.cameraToOutput(x, y, outX, outY))
                fuzz_support::fail("a calibrated model refused a point");
            // The module sends whole output coordinates; only finite ones can be rounded.
            if (std::isfinite(outX) && std::isfinite(outY))
                sum += static_cast<double>(std::lround(outX)) + static_cast<double>(std::lround(outY));
        }
    }
    return static_cast<int>(sum * 0.0);
}
