#include "device/LibusbTransport.h"

#include <QLoggingCategory>
#include <hidapi.h>
#include <libusb.h>

Q_LOGGING_CATEGORY(lcUsb, "vexaro.device.usb", QtWarningMsg)

namespace {
libusb_device* asDevice(UsbTransport::DeviceRef d) {
    return reinterpret_cast<libusb_device*>(d);
}
libusb_device_handle* asHandle(UsbTransport::HandleRef h) {
    return reinterpret_cast<libusb_device_handle*>(h);
}
UsbError status(int code) {
    return code >= 0 ? UsbError::none : LibusbTransport::fromLibusb(code);
}
} // namespace

UsbError LibusbTransport::fromLibusb(int code) {
    switch (code) {
    case LIBUSB_SUCCESS:
        return UsbError::none;
    case LIBUSB_ERROR_IO:
        return UsbError::io;
    case LIBUSB_ERROR_INVALID_PARAM:
        return UsbError::invalidParam;
    case LIBUSB_ERROR_ACCESS:
        return UsbError::access;
    case LIBUSB_ERROR_NO_DEVICE:
        return UsbError::noDevice;
    case LIBUSB_ERROR_NOT_FOUND:
        return UsbError::notFound;
    case LIBUSB_ERROR_BUSY:
        return UsbError::busy;
    case LIBUSB_ERROR_TIMEOUT:
        return UsbError::timeout;
    case LIBUSB_ERROR_OVERFLOW:
        return UsbError::overflow;
    case LIBUSB_ERROR_PIPE:
        return UsbError::pipe;
    case LIBUSB_ERROR_INTERRUPTED:
        return UsbError::interrupted;
    case LIBUSB_ERROR_NO_MEM:
        return UsbError::noMemory;
    case LIBUSB_ERROR_NOT_SUPPORTED:
        return UsbError::notSupported;
    default:
        return UsbError::other;
    }
}

LibusbTransport::~LibusbTransport() {
    std::lock_guard<std::mutex> lock(listLock);
    if (deviceList)
        libusb_free_device_list(deviceList, 1);
}

UsbError LibusbTransport::init() {
    return status(libusb_init(nullptr));
}

void LibusbTransport::exit() {
    libusb_exit(nullptr);
}

UsbError LibusbTransport::getDeviceList(std::vector<DeviceRef>& devices) {
    devices.clear();
    libusb_device** list = nullptr;
    const ssize_t n = libusb_get_device_list(nullptr, &list);
    if (n < 0)
        return status(static_cast<int>(n));
    for (ssize_t i = 0; i < n; ++i)
        devices.push_back(reinterpret_cast<DeviceRef>(list[i]));
    std::lock_guard<std::mutex> lock(listLock);
    if (deviceList)
        libusb_free_device_list(deviceList, 1);
    deviceList = list;
    return UsbError::none;
}

void LibusbTransport::freeDeviceList(std::vector<DeviceRef>& devices) {
    devices.clear();
    std::lock_guard<std::mutex> lock(listLock);
    if (deviceList)
        libusb_free_device_list(deviceList, 1);
    deviceList = nullptr;
}

UsbError LibusbTransport::getDeviceDescriptor(DeviceRef device, DeviceDescriptor& descriptor) {
    libusb_device_descriptor d{};
    const int r = libusb_get_device_descriptor(asDevice(device), &d);
    if (r == 0) {
        descriptor.idVendor = d.idVendor;
        descriptor.idProduct = d.idProduct;
    }
    return status(r);
}

UsbError LibusbTransport::open(DeviceRef device, HandleRef& handle) {
    libusb_device_handle* h = nullptr;
    const int r = libusb_open(asDevice(device), &h);
    if (r != 0) {
        reportAccessFailure(r, "open");
        return status(r);
    }
    handle = reinterpret_cast<HandleRef>(h);
    return UsbError::none;
}

void LibusbTransport::close(HandleRef handle) {
    libusb_close(asHandle(handle));
}

UsbError LibusbTransport::setAutoDetachKernelDriver(HandleRef handle, bool enable) {
    return status(libusb_set_auto_detach_kernel_driver(asHandle(handle), enable ? 1 : 0));
}

UsbError LibusbTransport::claimInterface(HandleRef handle, int interfaceNumber) {
    const int r = libusb_claim_interface(asHandle(handle), interfaceNumber);
    if (r != 0)
        reportAccessFailure(r, "claim");
    return status(r);
}

UsbError LibusbTransport::releaseInterface(HandleRef handle, int interfaceNumber) {
    return status(libusb_release_interface(asHandle(handle), interfaceNumber));
}

UsbError LibusbTransport::bulkTransfer(HandleRef handle, unsigned char endpoint, unsigned char* data,
                                       int length, int* transferred, unsigned int timeoutMs) {
    return status(libusb_bulk_transfer(asHandle(handle), endpoint, data, length, transferred, timeoutMs));
}

int LibusbTransport::hidInit() {
    return hid_init();
}

int LibusbTransport::hidExit() {
    return hid_exit();
}

std::vector<UsbTransport::HidDeviceInfo> LibusbTransport::hidEnumerate(std::uint16_t vendorId,
                                                                       std::uint16_t productId) {
    std::vector<HidDeviceInfo> out;
    hid_device_info* list = hid_enumerate(vendorId, productId);
    for (hid_device_info* i = list; i; i = i->next)
        out.push_back({i->vendor_id, i->product_id, i->usage_page, i->interface_number});
    hid_free_enumeration(list);
    return out;
}

// Said once per run, clearly: without the udev rule a desktop user may not open the module.
void LibusbTransport::reportAccessFailure(int result, const char* what) {
    if (result == LIBUSB_ERROR_ACCESS && !accessReported.exchange(true)) {
        qCWarning(lcUsb).noquote()
            << QStringLiteral(
                   "No permission to %1 the touch module (16D0:0F8C): install "
                   "resources/udev/60-vexaro.rules into /etc/udev/rules.d/ and re-plug the module.")
                   .arg(QLatin1String(what));
    } else if (result == LIBUSB_ERROR_BUSY) {
        qCWarning(lcUsb) << "Touch module interface busy during" << what << ":" << libusb_error_name(result);
    }
}
