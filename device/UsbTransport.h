#pragma once

#include <cstdint>
#include <memory>
#include <vector>

// The narrow seam between the device link and the USB stack. It mirrors the libusb and hidapi
// calls the link makes, with libusb's return conventions (0 or a positive count on success, a
// negative LIBUSB_ERROR_* value on failure), so the link's walks and failure paths run unchanged
// over the real stack or the simulated module.
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

    virtual int init() = 0;  // libusb_init on the default context
    virtual void exit() = 0; // libusb_exit
    // libusb_get_device_list: the devices in enumeration order, or a negative error.
    virtual int getDeviceList(std::vector<DeviceRef>& devices) = 0;
    virtual void freeDeviceList(std::vector<DeviceRef>& devices) = 0;
    virtual int getDeviceDescriptor(DeviceRef device, DeviceDescriptor& descriptor) = 0;
    virtual int open(DeviceRef device, HandleRef& handle) = 0;
    virtual void close(HandleRef handle) = 0;
    virtual int setAutoDetachKernelDriver(HandleRef handle, bool enable) = 0;
    virtual int claimInterface(HandleRef handle, int interfaceNumber) = 0;
    virtual int releaseInterface(HandleRef handle, int interfaceNumber) = 0;
    // libusb_bulk_transfer: endpoint bit 7 set reads, clear writes.
    virtual int bulkTransfer(HandleRef handle, unsigned char endpoint, unsigned char* data, int length,
                             int* transferred, unsigned int timeoutMs) = 0;

    virtual int hidInit() = 0;
    virtual int hidExit() = 0;
    // hid_enumerate by vendor and product id.
    virtual std::vector<HidDeviceInfo> hidEnumerate(std::uint16_t vendorId, std::uint16_t productId) = 0;
};
