#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// How a USB call ended. The transport's own names, so that nothing above the real transport needs
// the USB library's headers; the real transport translates the library's codes into these.
enum class UsbError {
    none,
    io,
    invalidParam,
    access,
    noDevice,
    notFound,
    busy,
    timeout,
    overflow,
    pipe,
    interrupted,
    noMemory,
    notSupported,
    other,
};

// The narrow seam between the device link and the USB stack. It mirrors the libusb and hidapi
// calls the link makes, each USB call answering with a UsbError, so the link's walks and failure
// paths run unchanged over the real stack or the simulated module.
class UsbTransport {
public:
    // Opaque device and handle references; their meaning belongs to the implementation.
    using DeviceRef = std::uintptr_t;
    using HandleRef = std::uintptr_t;

    struct DeviceDescriptor {
        std::uint16_t idVendor = 0;
        std::uint16_t idProduct = 0;
    };
    struct HidDeviceInfo {
        std::uint16_t vendorId = 0;
        std::uint16_t productId = 0;
        std::uint16_t usagePage = 0;
        int interfaceNumber = -1;
    };

    virtual ~UsbTransport() = default;

    virtual UsbError init() = 0; // libusb_init on the default context
    virtual void exit() = 0;     // libusb_exit
    // libusb_get_device_list: the devices in enumeration order.
    virtual UsbError getDeviceList(std::vector<DeviceRef>& devices) = 0;
    virtual void freeDeviceList(std::vector<DeviceRef>& devices) = 0;
    virtual UsbError getDeviceDescriptor(DeviceRef device, DeviceDescriptor& descriptor) = 0;
    virtual UsbError open(DeviceRef device, HandleRef& handle) = 0;
    virtual void close(HandleRef handle) = 0;
    virtual UsbError setAutoDetachKernelDriver(HandleRef handle, bool enable) = 0;
    virtual UsbError claimInterface(HandleRef handle, int interfaceNumber) = 0;
    virtual UsbError releaseInterface(HandleRef handle, int interfaceNumber) = 0;
    // libusb_bulk_transfer: endpoint bit 7 set reads, clear writes.
    virtual UsbError bulkTransfer(HandleRef handle, unsigned char endpoint, unsigned char* data, int length,
                                  int* transferred, unsigned int timeoutMs) = 0;

    // hidapi's conventions: 0 on success, -1 on failure.
    virtual int hidInit() = 0;
    virtual int hidExit() = 0;
    // hid_enumerate by vendor and product id.
    virtual std::vector<HidDeviceInfo> hidEnumerate(std::uint16_t vendorId, std::uint16_t productId) = 0;
};
