#pragma once

#include <array>
#include <cstdint>

// The 370-byte calibration record written into the module with CMD_SET_CALIB_PARAMETER: the
// fitted mapping, the screen geometry and mounting, optional tweak offsets learned by tuning and a
// fixed block of camera-sensor settings chosen by lens type. Little-endian throughout.
class CalibParameterRecord {
public:
    static constexpr int size = 370;
    static constexpr int maxTweaks = 25;

    struct Inputs {
        const double* params = nullptr; // 13 values h0..h7, cx, cy, k1, k2, k3
        int ceiling = 0;
        int rear = 0;
        int screenWidth = 0;
        int screenHeight = 0;
        int lens = 0;
        int reserved = 0;
        bool hasTweaks = false;
        int tweakCount = 0;
        const float* tweaks = nullptr; // tweakCount (x, y) pairs
        bool hasSensorBlock = false;
        int rowLimit1 = 0;
        int rowLimit2 = 0;
        int fwMinor = 10;
    };

    static std::array<std::uint8_t, size> build(const Inputs& in);
};
