#pragma once

#include "device/ModuleProblem.h"

// What the device watch loop needs from its owner (the calibration controller): the stop
// request, the connected flag it keeps, and the reports it makes. Called on the watch thread.
class DeviceWatchClient {
public:
    virtual ~DeviceWatchClient() = default;

    virtual bool watchStopRequested() const = 0;
    virtual bool isConnected() const = 0;
    virtual void setConnected(bool connected) = 0;
    // The module was found absent in this cycle (after the 1000 ms pause).
    virtual void reportAbsent() = 0;
    // The module was opened in this cycle.
    virtual void reportOpened() = 0;
    // The module is on the bus but could not be opened in this cycle (no permission, interface busy).
    virtual void reportOpenFailed() {}
    // Why the module cannot be used in this cycle; said just before reportAbsent or
    // reportOpenFailed (never noModule while the module is on the bus).
    virtual void reportProblem(ModuleProblem) {}
};
