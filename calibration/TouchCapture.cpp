#include "calibration/TouchCapture.h"

std::atomic<bool> touchCaptureArmed{false};
