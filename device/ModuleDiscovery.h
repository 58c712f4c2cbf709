#pragma once

#include "device/UsbTransport.h"

// Finding the module on the bus and opening it, over any transport. Stateless; called on the watch
// thread by the device link, which owns what an open yields.
class ModuleDiscovery {
public:
    // Whether a device with the module's identity is on the bus; with requireHid, also whether its
    // vendor-defined HID collection is there (the module is ready to be opened).
    static bool isPresent(UsbTransport& usb, bool requireHid);
    // Opens the first module whose interfaces can be claimed; 0 when none could be.
    static UsbTransport::HandleRef openFirst(UsbTransport& usb);
};
