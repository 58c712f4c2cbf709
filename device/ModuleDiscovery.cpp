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

ModuleProblem ModuleDiscovery::findReady(UsbTransport& usb) {
    if (isPresent(usb, true))
        return ModuleProblem::none;
    // Asked again without the HID collection: the module may have come or gone in between, so
    // the second answer decides between the two problems.
    return isPresent(usb, false) ? ModuleProblem::noHidInterface : ModuleProblem::noModule;
}

ModuleProblem ModuleDiscovery::problemOf(UsbError error) {
    switch (error) {
    case UsbError::none:
        return ModuleProblem::none;
    case UsbError::access:
        return ModuleProblem::noPermission;
    case UsbError::busy:
    case UsbError::notFound:
        return ModuleProblem::noHidInterface;
    case UsbError::noDevice:
        return ModuleProblem::noModule;
    default:
        return ModuleProblem::openFailed;
    }
}

UsbTransport::HandleRef ModuleDiscovery::openFirst(UsbTransport& usb, ModuleProblem* whyNot) {
    ModuleProblem problem = ModuleProblem::noModule;
    std::vector<UsbTransport::DeviceRef> devices;
    if (usb.getDeviceList(devices) != UsbError::none) {
        if (whyNot)
            *whyNot = ModuleProblem::openFailed;
        return 0;
    }
    UsbTransport::HandleRef opened = 0;
    for (UsbTransport::DeviceRef d : devices) {
        UsbTransport::DeviceDescriptor desc;
        if (usb.getDeviceDescriptor(d, desc) != UsbError::none || !isModule(desc))
            continue;
        UsbTransport::HandleRef h = 0;
        const UsbError openError = usb.open(d, h);
        if (openError != UsbError::none) {
            problem = problemOf(openError);
            continue;
        }
        Pacing::pause(200);
        // Lets the claims succeed while a kernel driver is bound to the interfaces.
        usb.setAutoDetachKernelDriver(h, true);
        UsbError claimError = usb.claimInterface(h, ModuleUsb::firstInterface);
        if (claimError == UsbError::none)
            claimError = usb.claimInterface(h, ModuleUsb::secondInterface);
        if (claimError != UsbError::none) {
            qCWarning(lcDiscovery) << "Could not claim the module's interfaces; trying the next device";
            problem = problemOf(claimError);
            usb.close(h);
            continue;
        }
        opened = h;
        problem = ModuleProblem::none;
        break;
    }
    usb.freeDeviceList(devices);
    if (whyNot)
        *whyNot = problem;
    return opened;
}
