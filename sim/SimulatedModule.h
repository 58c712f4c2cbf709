#pragma once

#include <memory>

class UsbTransport;

// The simulated touch module: honours the module's side of the USB contract from threads of its
// own, so every parser and state machine of the tool runs against it.
class SimulatedModule {
public:
    SimulatedModule();
    ~SimulatedModule();

    // A transport that reaches this module; it borrows the module, which must outlive it.
    std::unique_ptr<UsbTransport> createTransport();
};
