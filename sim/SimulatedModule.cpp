#include "sim/SimulatedModule.h"

#include "device/PacketCodes.h"
#include "sim/SimulatedTransport.h"

SimulatedModule::SimulatedModule() {
    setDropHandler([this] { unplug(); });
}

SimulatedModule::~SimulatedModule() {
    stopWorker(); // the module's thread may call unplug() until then
}

std::unique_ptr<UsbTransport> SimulatedModule::createTransport() {
    return std::make_unique<SimulatedTransport>(*this);
}

void SimulatedModule::plug() {
    if (bus.plug())
        connect();
}

void SimulatedModule::unplug() {
    bus.unplug();
    disconnect();
}

bool SimulatedModule::isPlugged() const {
    return bus.isPlugged();
}

int SimulatedModule::autoDetachRequests() const {
    return autoDetach.load();
}

int SimulatedModule::claimedModule() const {
    return bus.claimedModule();
}

UsbError SimulatedModule::usbAutoDetach() {
    autoDetach.fetch_add(1);
    return UsbError::none;
}

UsbError SimulatedModule::usbBulk(UsbTransport::HandleRef handle, unsigned char endpoint, unsigned char* data,
                                  int length, int* transferred, unsigned int timeoutMs) {
    *transferred = 0;
    // Read before the bus is asked: a write that races an unplug is lost with the connection.
    const unsigned seenConnection = connection();
    if (!bus.handleValid(handle))
        return UsbError::noDevice;
    if (endpoint == ModuleUsb::writeEndpoint)
        return writeRequest(data, length, transferred, seenConnection);
    return readEndpoint(endpoint, data, length, transferred, timeoutMs);
}
