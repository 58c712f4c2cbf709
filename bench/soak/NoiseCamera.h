#pragma once

#include "module/FrameSource.h"

#include <cstdint>
#include <random>

// A camera that takes fresh noise at every capture, from a seeded generator, so a stale or mixed
// image cannot pass the soak's comparison (called on the module's thread only).
class NoiseCamera : public FrameSource {
public:
    explicit NoiseCamera(std::uint32_t seed)
        : random(seed) {}
    void captureCalibration(Capture, const Sensor&, std::uint8_t* out) override;
    void captureLive(const Sensor&, std::uint8_t* out) override;

private:
    void fill(std::uint8_t* out, std::size_t size);

    std::mt19937 random;
};
