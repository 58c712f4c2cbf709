#pragma once

#include "device/ModuleProblem.h"

#include <atomic>
#include <functional>

class DeviceWatchClient;
class UsbTransport;

// The watch thread's loop: looks for the module every cycle, opens it when it appears or when its
// link was lost, and reports to the client. The link's own operations arrive as hooks, so the loop
// does not call back into the link's class.
class DeviceWatch {
public:
    struct Link {
        std::function<bool(ModuleProblem* whyNot)> open;
        std::function<void()> stopReceiving;
        std::function<bool()> linkLost;
    };

    DeviceWatch(UsbTransport& usb, const std::atomic<bool>& usbReady, Link link);

    // Runs until the client asks it to stop.
    void run(DeviceWatchClient& client);

private:
    ModuleProblem look(const DeviceWatchClient& client);
    // Waits out the rest of the cycle, one second at a time; false when a stop was asked for.
    bool waitCycle(DeviceWatchClient& client);

    UsbTransport& usb;
    const std::atomic<bool>& ready;
    Link link;
};
