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

    UsbError init() override;
    void exit() override;
    UsbError getDeviceList(std::vector<DeviceRef>& devices) override;
    void freeDeviceList(std::vector<DeviceRef>& devices) override;
    UsbError getDeviceDescriptor(DeviceRef device, DeviceDescriptor& descriptor) override;
    UsbError open(DeviceRef device, HandleRef& handle) override;
    void close(HandleRef handle) override;
    UsbError setAutoDetachKernelDriver(HandleRef handle, bool enable) override;
    UsbError claimInterface(HandleRef handle, int interfaceNumber) override;
    UsbError releaseInterface(HandleRef handle, int interfaceNumber) override;
    UsbError bulkTransfer(HandleRef handle, unsigned char endpoint, unsigned char* data, int length,
                          int* transferred, unsigned int timeoutMs) override;

    int hidInit() override;
    int hidExit() override;
    std::vector<HidDeviceInfo> hidEnumerate(std::uint16_t vendorId, std::uint16_t productId) override;

    // The library's return code as the transport's own error (negative codes only).
    static UsbError fromLibusb(int code);

private:
    void reportAccessFailure(int result, const char* what);

    std::mutex listLock;                  // guards deviceList
    libusb_device** deviceList = nullptr; // the list handed out by the last getDeviceList
    std::atomic<bool> accessReported{false};
};
