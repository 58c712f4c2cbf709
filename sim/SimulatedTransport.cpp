#include "sim/SimulatedTransport.h"

#include "sim/SimulatedModule.h"

SimulatedTransport::SimulatedTransport(SimulatedModule& simulated)
    : module(simulated) {}

int SimulatedTransport::init() {
    return module.bus.init();
}

int SimulatedTransport::getDeviceList(std::vector<DeviceRef>& devices) {
    return module.bus.getDeviceList(devices);
}

int SimulatedTransport::getDeviceDescriptor(DeviceRef device, DeviceDescriptor& descriptor) {
    return module.bus.descriptor(device, descriptor);
}

int SimulatedTransport::open(DeviceRef device, HandleRef& handle) {
    return module.bus.open(device, handle);
}

void SimulatedTransport::close(HandleRef handle) {
    module.bus.close(handle);
}

int SimulatedTransport::setAutoDetachKernelDriver(HandleRef, bool) {
    return module.usbAutoDetach();
}

int SimulatedTransport::claimInterface(HandleRef handle, int interfaceNumber) {
    return module.bus.claim(handle, interfaceNumber);
}

int SimulatedTransport::releaseInterface(HandleRef handle, int) {
    return module.bus.release(handle);
}

int SimulatedTransport::bulkTransfer(HandleRef handle, unsigned char endpoint, unsigned char* data,
                                     int length, int* transferred, unsigned int timeoutMs) {
    return module.usbBulk(handle, endpoint, data, length, transferred, timeoutMs);
}

std::vector<UsbTransport::HidDeviceInfo> SimulatedTransport::hidEnumerate(std::uint16_t vendorId,
                                                                          std::uint16_t productId) {
    return module.bus.hidEnumerate(vendorId, productId);
}
