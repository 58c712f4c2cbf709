#include "sim/SimulatedTransport.h"

#include "sim/SimulatedModule.h"

SimulatedTransport::SimulatedTransport(SimulatedModule& simulated)
    : module(simulated) {}

UsbError SimulatedTransport::init() {
    return module.bus.init();
}

UsbError SimulatedTransport::getDeviceList(std::vector<DeviceRef>& devices) {
    return module.bus.getDeviceList(devices);
}

UsbError SimulatedTransport::getDeviceDescriptor(DeviceRef device, DeviceDescriptor& descriptor) {
    return module.bus.descriptor(device, descriptor);
}

UsbError SimulatedTransport::open(DeviceRef device, HandleRef& handle) {
    return module.bus.open(device, handle);
}

void SimulatedTransport::close(HandleRef handle) {
    module.bus.close(handle);
}

UsbError SimulatedTransport::setAutoDetachKernelDriver(HandleRef, bool) {
    return module.usbAutoDetach();
}

UsbError SimulatedTransport::claimInterface(HandleRef handle, int interfaceNumber) {
    return module.bus.claim(handle, interfaceNumber);
}

UsbError SimulatedTransport::releaseInterface(HandleRef handle, int) {
    return module.bus.release(handle);
}

UsbError SimulatedTransport::bulkTransfer(HandleRef handle, unsigned char endpoint, unsigned char* data,
                                          int length, int* transferred, unsigned int timeoutMs) {
    return module.usbBulk(handle, endpoint, data, length, transferred, timeoutMs);
}

std::vector<UsbTransport::HidDeviceInfo> SimulatedTransport::hidEnumerate(std::uint16_t vendorId,
                                                                          std::uint16_t productId) {
    return module.bus.hidEnumerate(vendorId, productId);
}
