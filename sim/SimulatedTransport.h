#pragma once

#include "device/UsbTransport.h"

class SimulatedModule;

// The USB seam over the simulated module: each call goes to the module's bus side with libusb's
// return conventions.
class SimulatedTransport : public UsbTransport {
public:
    explicit SimulatedTransport(SimulatedModule& module);

    int init() override;
    void exit() override {}
    int getDeviceList(std::vector<DeviceRef>& devices) override;
    void freeDeviceList(std::vector<DeviceRef>& devices) override { devices.clear(); }
    int getDeviceDescriptor(DeviceRef device, DeviceDescriptor& descriptor) override;
    int open(DeviceRef device, HandleRef& handle) override;
    void close(HandleRef handle) override;
    int setAutoDetachKernelDriver(HandleRef handle, bool enable) override;
    int claimInterface(HandleRef handle, int interfaceNumber) override;
    int releaseInterface(HandleRef handle, int interfaceNumber) override;
    int bulkTransfer(HandleRef handle, unsigned char endpoint, unsigned char* data, int length,
                     int* transferred, unsigned int timeoutMs) override;
    int hidInit() override { return 0; }
    int hidExit() override { return 0; }
    std::vector<HidDeviceInfo> hidEnumerate(std::uint16_t vendorId, std::uint16_t productId) override;

private:
    SimulatedModule& module; // borrowed; outlives the transport
};
