#include "NoiseCamera.h"

void NoiseCamera::captureCalibration(Capture, const Sensor&, std::uint8_t* out) {
    fill(out, static_cast<std::size_t>(calibWidth) * calibHeight);
}

void NoiseCamera::captureLive(const Sensor&, std::uint8_t* out) {
    fill(out, static_cast<std::size_t>(liveWidth) * liveHeight);
}

void NoiseCamera::fill(std::uint8_t* out, std::size_t size) {
    for (std::size_t i = 0; i < size; i += 4) {
        const std::uint32_t v = random();
        for (std::size_t k = 0; k < 4 && i + k < size; ++k)
            out[i + k] = static_cast<std::uint8_t>(v >> (8 * k));
    }
}
