#pragma once

#include <cstdint>
#include <vector>

// What the module tells the host about itself: its USB descriptors (the device descriptor followed
// by the whole configuration, as sysfs holds them) and the report descriptors of its two HID
// interfaces, the touch digitizer (interface 0) and the vendor collection 0xFF00 (interface 1).
class ModuleDescriptors {
public:
    static std::vector<std::uint8_t> usbDescriptors();
    static std::vector<std::uint8_t> touchReport();
    static std::vector<std::uint8_t> vendorReport();
    // The vendor collection with another usage page, as a module whose firmware lacks it.
    static std::vector<std::uint8_t> vendorReportWithoutCollection();
};
