#pragma once

#include <cstdint>

// The camera of the simulated module. Called on the module's thread: a calibration capture at the
// moment of a capture command, a live frame for each live-frame request.
class FrameSource {
public:
    enum class Capture { Black, White, Pattern };
    struct Sensor {
        unsigned gain = 0x40; // from registers 0x350A (high) and 0x350B (low)
        int blackLevel = 0;   // third byte of the last black-capture command
    };
    static constexpr int calibWidth = 1280;
    static constexpr int calibHeight = 720;
    static constexpr int liveWidth = 640;
    static constexpr int liveHeight = 360;

    virtual ~FrameSource() = default;

    // Writes a 1280 x 720 grey image (921,600 bytes, row-major).
    virtual void captureCalibration(Capture kind, const Sensor& sensor, std::uint8_t* out) = 0;
    // Writes a 640 x 360 grey image (230,400 bytes, row-major).
    virtual void captureLive(const Sensor& sensor, std::uint8_t* out) = 0;
};
