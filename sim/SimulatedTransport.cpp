#include "sim/SimulatedTransport.h"

#include "sim/SimulatedModule.h"

SimulatedTransport::SimulatedTransport(SimulatedModule& simulated)
    : module(simulated) {}

int SimulatedTransport::init() {
    return module.usbInit();
}

int SimulatedTransport::getDeviceList(std::vector<DeviceRef>& devices) {
    return module.usbGetDeviceList(devices);
}

int SimulatedTransport::getDeviceDescriptor(DeviceRef device, DeviceDescriptor& descriptor) {
    return module.usbDescriptor(device, descriptor);
}

int SimulatedTransport::open(DeviceRef device, HandleRef& handle) {
    return module.usbOpen(device, handle);
}

void SimulatedTransport::close(HandleRef handle) {
    module.usbClose(handle);
}

int SimulatedTransport::setAutoDetachKernelDriver(HandleRef handle, bool) {
    return module.usbAutoDetach(handle);
}

int SimulatedTransport::claimInterface(HandleRef handle, int interfaceNumber) {
    return module.usbClaim(handle, interfaceNumber);
}

int SimulatedTransport::releaseInterface(HandleRef handle, int interfaceNumber) {
    return module.usbRelease(handle, interfaceNumber);
}

int SimulatedTransport::bulkTransfer(HandleRef handle, unsigned char endpoint, unsigned char* data,
                                     int length, int* transferred, unsigned int timeoutMs) {
    return module.usbBulk(handle, endpoint, data, length, transferred, timeoutMs);
}

std::vector<UsbTransport::HidDeviceInfo> SimulatedTransport::hidEnumerate(std::uint16_t vendorId,
                                                                          std::uint16_t productId) {
    return module.usbHidEnumerate(vendorId, productId);
}
