#include "SimulatedSoakBus.h"

#include "module/FrameSource.h"

#include <random>

namespace {

// Fresh noise at each capture, from a seeded generator (called on the module's thread only).
class NoiseCamera : public FrameSource {
public:
    explicit NoiseCamera(std::uint32_t seed)
        : random(seed) {}
    void captureCalibration(Capture, const Sensor&, std::uint8_t* out) override {
        fill(out, static_cast<std::size_t>(calibWidth) * calibHeight);
    }
    void captureLive(const Sensor&, std::uint8_t* out) override {
        fill(out, static_cast<std::size_t>(liveWidth) * liveHeight);
    }

private:
    void fill(std::uint8_t* out, std::size_t size) {
        for (std::size_t i = 0; i < size; i += 4) {
            const std::uint32_t v = random();
            for (std::size_t k = 0; k < 4 && i + k < size; ++k)
                out[i + k] = static_cast<std::uint8_t>(v >> (8 * k));
        }
    }
    std::mt19937 random;
};

} // namespace

SimulatedSoakBus::SimulatedSoakBus(std::uint32_t seed) {
    module.setSeed(seed);
    module.setFrameSource(std::make_unique<NoiseCamera>(seed));
}

void SimulatedSoakBus::setAnswerDelayMs(double ms) {
    if (ms > 0.0)
        module.setFault(SimFault::LatencyMs, ms);
    else
        module.clearFaults();
}
