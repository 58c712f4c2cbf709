#pragma once

#include "device/UsbTransport.h"

class SimulatedModule;

// The USB seam over the simulated module: each call goes to the module's bus side with the transport's
// own error codes.
class SimulatedTransport : public UsbTransport {
public:
    explicit SimulatedTransport(SimulatedModule& module);

    UsbError init() override;
    void exit() override {}
    UsbError getDeviceList(std::vector<DeviceRef>& devices) override;
    void freeDeviceList(std::vector<DeviceRef>& devices) override { devices.clear(); }
    UsbError getDeviceDescriptor(DeviceRef device, DeviceDescriptor& descriptor) override;
    UsbError open(DeviceRef device, HandleRef& handle) override;
    void close(HandleRef handle) override;
    UsbError setAutoDetachKernelDriver(HandleRef handle, bool enable) override;
    UsbError claimInterface(HandleRef handle, int interfaceNumber) override;
    UsbError releaseInterface(HandleRef handle, int interfaceNumber) override;
    UsbError bulkTransfer(HandleRef handle, unsigned char endpoint, unsigned char* data, int length,
                          int* transferred, unsigned int timeoutMs) override;
    int hidInit() override { return 0; }
    int hidExit() override { return 0; }
    std::vector<HidDeviceInfo> hidEnumerate(std::uint16_t vendorId, std::uint16_t productId) override;

private:
    SimulatedModule& module; // borrowed; outlives the transport
};
