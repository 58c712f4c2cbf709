#include "device/ModuleDiscovery.h"

#include "device/PacketCodes.h"
#include "platform/Pacing.h"

#include <QLoggingCategory>
#include <vector>

Q_LOGGING_CATEGORY(lcDiscovery, "vexaro.device.discovery", QtWarningMsg)

namespace {
bool isModule(const UsbTransport::DeviceDescriptor& d) {
    return d.idVendor == ModuleUsb::vendorId && d.idProduct == ModuleUsb::productId;
}
} // namespace

bool ModuleDiscovery::isPresent(UsbTransport& usb, bool requireHid) {
    std::vector<UsbTransport::DeviceRef> devices;
    if (usb.getDeviceList(devices) != UsbError::none)
        return false;
    bool present = false;
    for (UsbTransport::DeviceRef d : devices) {
        UsbTransport::DeviceDescriptor desc;
        if (usb.getDeviceDescriptor(d, desc) != UsbError::none)
            break; // an unreadable descriptor ends the walk for this cycle
        if (isModule(desc)) {
            present = true;
            break;
        }
    }
    usb.freeDeviceList(devices);
    if (present && requireHid) {
        present = false;
        for (const UsbTransport::HidDeviceInfo& h :
             usb.hidEnumerate(ModuleUsb::vendorId, ModuleUsb::productId)) {
            if (h.vendorId == ModuleUsb::vendorId && h.productId == ModuleUsb::productId &&
                h.usagePage == ModuleUsb::hidUsagePage)
                present = true;
        }
    }
    return present;
}

UsbTransport::HandleRef ModuleDiscovery::openFirst(UsbTransport& usb) {
    std::vector<UsbTransport::DeviceRef> devices;
    if (usb.getDeviceList(devices) != UsbError::none)
        return 0;
    UsbTransport::HandleRef opened = 0;
    for (UsbTransport::DeviceRef d : devices) {
        UsbTransport::DeviceDescriptor desc;
        if (usb.getDeviceDescriptor(d, desc) != UsbError::none || !isModule(desc))
            continue;
        UsbTransport::HandleRef h = 0;
        if (usb.open(d, h) != UsbError::none)
            continue;
        Pacing::pause(200);
        // Lets the claims succeed while a kernel driver is bound to the interfaces.
        usb.setAutoDetachKernelDriver(h, true);
        if (usb.claimInterface(h, ModuleUsb::firstInterface) != UsbError::none ||
            usb.claimInterface(h, ModuleUsb::secondInterface) != UsbError::none) {
            qCWarning(lcDiscovery) << "Could not claim the module's interfaces; trying the next device";
            usb.close(h);
            continue;
        }
        opened = h;
        break;
    }
    usb.freeDeviceList(devices);
    return opened;
}
