#pragma once

#include "device/UsbTransport.h"
#include "module/FaultInjector.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

// The USB bus the simulated modules sit on: an unrelated hub device first, then one module (two
// with the SecondModule fault) while plugged, the handles opened on them and the interface claims,
// all answering with the transport's error codes. A handle opened before an unplug stays dead for good.
class SimulatedBus {
public:
    explicit SimulatedBus(const FaultInjector& faults);

    // False when already in that state.
    bool plug();
    void unplug();
    bool isPlugged() const;
    int moduleCount() const;

    UsbError init() const;
    UsbError getDeviceList(std::vector<UsbTransport::DeviceRef>& devices) const;
    UsbError descriptor(UsbTransport::DeviceRef device, UsbTransport::DeviceDescriptor& descriptor) const;
    UsbError open(UsbTransport::DeviceRef device, UsbTransport::HandleRef& handle);
    void close(UsbTransport::HandleRef handle);
    bool handleValid(UsbTransport::HandleRef handle) const;
    UsbError claim(UsbTransport::HandleRef handle, int interfaceNumber);
    UsbError release(UsbTransport::HandleRef handle) const;
    std::vector<UsbTransport::HidDeviceInfo> hidEnumerate(std::uint16_t vendorId,
                                                          std::uint16_t productId) const;
    // Bus position (0-based among the modules) of the module whose interfaces were last claimed.
    int claimedModule() const;

private:
    struct HandleInfo {
        UsbTransport::DeviceRef device = 0;
        std::uint64_t generation = 0;
    };

    const FaultInjector& faultSwitches; // borrowed from the module, which owns the bus

    mutable std::mutex busLock; // guards everything below
    bool plugged = true;
    std::uint64_t generation = 1;
    std::map<UsbTransport::HandleRef, HandleInfo> handles;
    UsbTransport::HandleRef nextHandle = 1;
    int claimedIndex = -1;
};
