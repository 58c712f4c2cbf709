#pragma once

#include "device/UsbTransport.h"

#include <memory>

// A USB stack that starts and holds no device: for tests of the controller and the windows that
// need a link but no module, without the real USB library.
class EmptyBusTransport : public UsbTransport {
public:
    static std::unique_ptr<UsbTransport> create() { return std::make_unique<EmptyBusTransport>(); }

    UsbError init() override { return UsbError::none; }
    void exit() override {}
    UsbError getDeviceList(std::vector<DeviceRef>& devices) override {
        devices.clear();
        return UsbError::none;
    }
    void freeDeviceList(std::vector<DeviceRef>& devices) override { devices.clear(); }
    UsbError getDeviceDescriptor(DeviceRef, DeviceDescriptor&) override { return UsbError::noDevice; }
    UsbError open(DeviceRef, HandleRef&) override { return UsbError::noDevice; }
    void close(HandleRef) override {}
    UsbError setAutoDetachKernelDriver(HandleRef, bool) override { return UsbError::noDevice; }
    UsbError claimInterface(HandleRef, int) override { return UsbError::noDevice; }
    UsbError releaseInterface(HandleRef, int) override { return UsbError::noDevice; }
    UsbError bulkTransfer(HandleRef, unsigned char, unsigned char*, int, int* transferred,
                          unsigned int) override {
        *transferred = 0;
        return UsbError::noDevice;
    }
    int hidInit() override { return 0; }
    int hidExit() override { return 0; }
    std::vector<HidDeviceInfo> hidEnumerate(std::uint16_t, std::uint16_t) override { return {}; }
};
