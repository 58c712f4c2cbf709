#pragma once

#include "device/UsbTransport.h"

#include <atomic>
#include <mutex>

struct libusb_device;

// The transport for real modules: libusb on its default context for the bulk pipes, hidapi only to
// see the module's vendor-defined HID collection before it is opened.
class LibusbTransport : public UsbTransport {
public:
    LibusbTransport() = default;
    ~LibusbTransport() override;

    int init() override;
    void exit() override;
    int getDeviceList(std::vector<DeviceRef>& devices) override;
    void freeDeviceList(std::vector<DeviceRef>& devices) override;
    int getDeviceDescriptor(DeviceRef device, DeviceDescriptor& descriptor) override;
    int open(DeviceRef device, HandleRef& handle) override;
    void close(HandleRef handle) override;
    int setAutoDetachKernelDriver(HandleRef handle, bool enable) override;
    int claimInterface(HandleRef handle, int interfaceNumber) override;
    int releaseInterface(HandleRef handle, int interfaceNumber) override;
    int bulkTransfer(HandleRef handle, unsigned char endpoint, unsigned char* data, int length,
                     int* transferred, unsigned int timeoutMs) override;

    int hidInit() override;
    int hidExit() override;
    std::vector<HidDeviceInfo> hidEnumerate(std::uint16_t vendorId, std::uint16_t productId) override;

private:
    void reportAccessFailure(int result, const char* what);

    std::mutex listLock;                  // guards deviceList
    libusb_device** deviceList = nullptr; // the list handed out by the last getDeviceList
    std::atomic<bool> accessReported{false};
};
