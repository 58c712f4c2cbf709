#pragma once

#include <atomic>

// Set by the controller's coordinate-ratio check: while true the calibration window reports the
// next touch release instead of delivering it. Cleared by the window when it reports one.
extern std::atomic<bool> touchCaptureArmed;
