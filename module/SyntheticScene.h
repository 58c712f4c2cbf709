#pragma once

#include "module/FrameSource.h"

// The default camera: a grey gradient with the projected screen as a brighter rectangle (black,
// white or 20 dark targets on white). Its brightness follows the sensor gain, so the alignment
// view's gain control visibly changes the picture.
class SyntheticScene : public FrameSource {
public:
    void captureCalibration(Capture kind, const Sensor& sensor, std::uint8_t* out) override;
    void captureLive(const Sensor& sensor, std::uint8_t* out) override;

private:
    static void render(Capture kind, const Sensor& sensor, int width, int height, std::uint8_t* out);
};
