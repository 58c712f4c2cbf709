#pragma once

#include "SoakBus.h"
#include "sim/SimulatedModule.h"

// The soak's bus over the in-process simulated module, whose camera takes a different
// pseudo-random image at every capture (so a stale or mixed image cannot pass the comparison).
class SimulatedSoakBus : public SoakBus {
public:
    explicit SimulatedSoakBus(std::uint32_t seed);

    std::string name() const override { return "simulated"; }
    std::unique_ptr<UsbTransport> createTransport() override { return module.createTransport(); }
    void plug() override { module.plug(); }
    void unplug() override { module.unplug(); }
    void setAnswerDelayMs(double ms) override;
    void setCaptureMs(double ms) override { module.setFault(SimFault::CaptureMs, ms); }
    std::vector<std::uint8_t> capturedImage(int id) const override { return module.capturedImage(id); }
    int captureCount(int id) const override { return module.captureCount(id); }
    int commandCount(std::uint32_t code) const override { return module.commandCount(code); }
    void forgetHistory() override { module.clearCounters(); }

private:
    SimulatedModule module;
};
