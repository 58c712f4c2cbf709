#include "EmulatedSoakBus.h"

#include "NoiseCamera.h"
#include "device/LibusbTransport.h"
#include "module/ModuleDevice.h"

EmulatedSoakBus::EmulatedSoakBus(std::uint32_t seed)
    : bus(EmulatedBus::Options{}) {
    bus.module().setSeed(seed);
    bus.module().setFrameSource(std::make_unique<NoiseCamera>(seed));
}

std::unique_ptr<UsbTransport> EmulatedSoakBus::createTransport() {
    return std::make_unique<LibusbTransport>();
}

void EmulatedSoakBus::setAnswerDelayMs(double ms) {
    // Only the delay: the bus's other fault switches stay as the bus set them.
    bus.module().setFault(SimFault::LatencyMs, ms > 0.0 ? ms : 0.0);
}

std::vector<std::uint8_t> EmulatedSoakBus::capturedImage(int id) const {
    return bus.module().capturedImage(id);
}

int EmulatedSoakBus::commandCount(std::uint32_t code) const {
    return bus.module().commandCount(code);
}

void EmulatedSoakBus::forgetHistory() {
    bus.module().clearCounters();
}

void EmulatedSoakBus::setCaptureMs(double ms) {
    bus.module().setFault(SimFault::CaptureMs, ms);
}

int EmulatedSoakBus::captureCount(int id) const {
    return bus.module().captureCount(id);
}
