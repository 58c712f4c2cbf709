#include "SimulatedSoakBus.h"

#include "NoiseCamera.h"

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
