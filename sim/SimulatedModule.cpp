#include "sim/SimulatedModule.h"

#include "device/UsbTransport.h"

// Placeholder: the simulated module is built with the device link.
SimulatedModule::SimulatedModule() = default;
SimulatedModule::~SimulatedModule() = default;

std::unique_ptr<UsbTransport> SimulatedModule::createTransport() {
    return nullptr;
}
