#include "sim/SimulatedBus.h"

#include "device/PacketCodes.h"

namespace {
constexpr UsbTransport::DeviceRef hubDevice = 1;   // an unrelated device first on the bus
constexpr UsbTransport::DeviceRef firstModule = 2; // modules follow in bus order
} // namespace

SimulatedBus::SimulatedBus(const FaultInjector& faults)
    : faultSwitches(faults) {}

bool SimulatedBus::plug() {
    std::lock_guard<std::mutex> l(busLock);
    if (plugged)
        return false;
    plugged = true;
    ++generation;
    return true;
}

void SimulatedBus::unplug() {
    std::lock_guard<std::mutex> l(busLock);
    plugged = false;
    ++generation; // handles opened before are dead for good
}

bool SimulatedBus::isPlugged() const {
    std::lock_guard<std::mutex> l(busLock);
    return plugged;
}

int SimulatedBus::moduleCount() const {
    return faultSwitches.value(SimFault::SecondModule) != 0.0 ? 2 : 1;
}

UsbError SimulatedBus::init() const {
    return faultSwitches.value(SimFault::InitFailure) != 0.0 ? UsbError::other : UsbError::none;
}

UsbError SimulatedBus::getDeviceList(std::vector<UsbTransport::DeviceRef>& devices) const {
    devices.clear();
    devices.push_back(hubDevice);
    if (isPlugged()) {
        for (int i = 0; i < moduleCount(); ++i)
            devices.push_back(firstModule + static_cast<UsbTransport::DeviceRef>(i));
    }
    return UsbError::none;
}

UsbError SimulatedBus::descriptor(UsbTransport::DeviceRef device,
                                  UsbTransport::DeviceDescriptor& descriptor) const {
    if (device == hubDevice) {
        if (faultSwitches.value(SimFault::DescriptorFailure) != 0.0)
            return UsbError::io;
        descriptor = {0x1D6B, 0x0002};
        return UsbError::none;
    }
    if (device < firstModule || device >= firstModule + static_cast<UsbTransport::DeviceRef>(moduleCount()))
        return UsbError::noDevice;
    descriptor = {ModuleUsb::vendorId, ModuleUsb::productId};
    return UsbError::none;
}

UsbError SimulatedBus::open(UsbTransport::DeviceRef device, UsbTransport::HandleRef& handle) {
    if (device == hubDevice)
        return UsbError::access;
    std::lock_guard<std::mutex> l(busLock);
    if (!plugged)
        return UsbError::noDevice;
    if (faultSwitches.value(SimFault::OpenDenied) != 0.0)
        return UsbError::access;
    handle = nextHandle++;
    handles[handle] = {device, generation};
    return UsbError::none;
}

void SimulatedBus::close(UsbTransport::HandleRef handle) {
    std::lock_guard<std::mutex> l(busLock);
    handles.erase(handle);
}

bool SimulatedBus::handleValid(UsbTransport::HandleRef handle) const {
    std::lock_guard<std::mutex> l(busLock);
    const auto it = handles.find(handle);
    return plugged && it != handles.end() && it->second.generation == generation;
}

UsbError SimulatedBus::claim(UsbTransport::HandleRef handle, int interfaceNumber) {
    if (!handleValid(handle))
        return UsbError::noDevice;
    if (interfaceNumber != ModuleUsb::firstInterface && interfaceNumber != ModuleUsb::secondInterface)
        return UsbError::notFound;
    std::lock_guard<std::mutex> l(busLock);
    const int index = static_cast<int>(handles[handle].device - firstModule);
    if (interfaceNumber == ModuleUsb::firstInterface &&
        index < static_cast<int>(faultSwitches.value(SimFault::ClaimFailure)))
        return UsbError::busy;
    claimedIndex = index;
    return UsbError::none;
}

UsbError SimulatedBus::release(UsbTransport::HandleRef handle) const {
    return handleValid(handle) ? UsbError::none : UsbError::noDevice;
}

std::vector<UsbTransport::HidDeviceInfo> SimulatedBus::hidEnumerate(std::uint16_t vendorId,
                                                                    std::uint16_t productId) const {
    std::vector<UsbTransport::HidDeviceInfo> out;
    if (!isPlugged() || vendorId != ModuleUsb::vendorId || productId != ModuleUsb::productId)
        return out;
    for (int i = 0; i < moduleCount(); ++i) {
        out.push_back({ModuleUsb::vendorId, ModuleUsb::productId, 0x000D, 0}); // the touch digitizer
        if (faultSwitches.value(SimFault::HidMissing) == 0.0)
            out.push_back({ModuleUsb::vendorId, ModuleUsb::productId, ModuleUsb::hidUsagePage, 1});
    }
    return out;
}

int SimulatedBus::claimedModule() const {
    std::lock_guard<std::mutex> l(busLock);
    return claimedIndex;
}
