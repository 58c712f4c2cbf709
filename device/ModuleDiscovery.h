#pragma once

#include "device/ModuleProblem.h"
#include "device/UsbTransport.h"

// Finding the module on the bus and opening it, over any transport. Stateless; called on the watch
// thread by the device link, which owns what an open yields.
class ModuleDiscovery {
public:
    // Whether a device with the module's identity is on the bus; with requireHid, also whether its
    // vendor-defined HID collection is there (the module is ready to be opened).
    static bool isPresent(UsbTransport& usb, bool requireHid);
    // As isPresent with the HID collection required, telling why not: noModule, noHidInterface,
    // or none when the module is ready to be opened.
    static ModuleProblem findReady(UsbTransport& usb);
    // Opens the first module whose interfaces can be claimed; 0 when none could be. whyNot, when
    // given, says why the last module tried could not be used.
    static UsbTransport::HandleRef openFirst(UsbTransport& usb, ModuleProblem* whyNot = nullptr);
    // The problem an open or claim that ended so means.
    static ModuleProblem problemOf(UsbError error);
};
