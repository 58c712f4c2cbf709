#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The 370-byte calibration record written into the module with CMD_SET_CALIB_PARAMETER: the
// fitted mapping, the screen geometry and mounting, optional tweak offsets learned by tuning and a
// fixed block of camera-sensor settings chosen by lens type. Little-endian throughout. The one
// definition of its layout: the tool builds it here and the simulated module reads it back here.
class CalibParameterRecord {
public:
    static constexpr int size = 370;
    static constexpr int paramCount = 13;
    static constexpr int maxTweaks = 25;
    using Bytes = std::array<std::uint8_t, size>;

    // Where each field starts.
    struct Offset {
        static constexpr int params = 0; // 13 float64: h0..h7, cx, cy, k1, k2, k3
        static constexpr int screenWidth = 104;
        static constexpr int screenHeight = 106;
        static constexpr int ceiling = 108;
        static constexpr int rear = 109;
        static constexpr int lens = 110;
        static constexpr int reserved = 111;
        static constexpr int tweakCount = 112;   // int32
        static constexpr int tweakOffsets = 116; // up to 25 float32 (x, y) pairs
        static constexpr int sensorBlock = 316;  // 54 bytes
    };

    // The calibrated screen as the calibration window saw it.
    struct Screen {
        int width = 0;
        int height = 0;
        int ceiling = 0;
        int rear = 0;
        int lens = 0;
    };

    // What the record is built from, held by value so it can be handed on freely.
    struct Inputs {
        std::array<double, paramCount> params{};
        Screen screen;
        int reserved = 0;
        bool hasTweaks = false;
        int tweakCount = 0;
        std::array<float, 2 * maxTweaks> tweaks{};
        bool hasSensorBlock = false;
        int rowLimit1 = 0;
        int rowLimit2 = 0;
        int fwMinor = 10;

        // A fitted model (its first 13 values) for this screen, with the sensor block carrying the
        // row limit in both row fields, and no tweak offsets.
        static Inputs fitted(const double* params, const Screen& screen, int rowLimit, int fwMinor);
        // Adds tweak offsets: the first count pairs, at most 25 (they fill the 200-byte area).
        Inputs& withTweaks(int count, const float* pairs);
    };

    // What the module applies from a record it received.
    struct Applied {
        std::array<double, paramCount> params{};
        Screen screen;
        int tweakCount = 0; // 0 to 25
        std::array<float, 2 * maxTweaks> tweaks{};
    };

    static Bytes build(const Inputs& in);
    // Reads a received record; false (out unchanged) unless it is exactly one record long. A tweak
    // count outside 0..25 is bounded to that range.
    static bool parse(const std::uint8_t* bytes, std::size_t length, Applied& out);
};
