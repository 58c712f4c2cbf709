#include "SimulatedSoakBus.h"

#include "NoiseCamera.h"

SimulatedSoakBus::SimulatedSoakBus(std::uint32_t seed) {
    module.setSeed(seed);
    module.setFrameSource(std::make_unique<NoiseCamera>(seed));
}

void SimulatedSoakBus::setAnswerDelayMs(double ms) {
    // Only the delay: a capture time set for the whole run stays.
    module.setFault(SimFault::LatencyMs, ms > 0.0 ? ms : 0.0);
}
