#pragma once

#include "device/UsbTransport.h"
#include "module/ModuleDevice.h"
#include "sim/SimulatedBus.h"

#include <atomic>
#include <memory>

// The touch module on the in-process simulated bus: the device (its responder, record, camera, pen
// and faults) plugged into a bus of handles and claims that a transport reaches, so every parser
// and state machine of the tool runs against it without USB.
class SimulatedModule : public ModuleDevice {
public:
    SimulatedModule();
    ~SimulatedModule() override;

    // A transport that reaches this module; it borrows the module, which must outlive it.
    std::unique_ptr<UsbTransport> createTransport();

    // The bus.
    void plug();
    void unplug();
    bool isPlugged() const;

    int autoDetachRequests() const;
    // Bus position (0-based among the modules) of the module whose interfaces were last claimed.
    int claimedModule() const;

private:
    friend class SimulatedTransport;

    // The transport side (SimulatedTransport); the rest of the USB contract is the bus's.
    UsbError usbAutoDetach();
    UsbError usbBulk(UsbTransport::HandleRef handle, unsigned char endpoint, unsigned char* data, int length,
                     int* transferred, unsigned int timeoutMs);

    SimulatedBus bus{faults()};
    std::atomic<int> autoDetach{0};
};
