#include "usbemu/ModuleDescriptors.h"

#include "device/PacketCodes.h"

namespace {
std::uint8_t lo(unsigned v) {
    return static_cast<std::uint8_t>(v & 0xFF);
}
std::uint8_t hi(unsigned v) {
    return static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

std::vector<std::uint8_t> vendorReportOnPage(unsigned page) {
    return {0x06, lo(page), hi(page), // usage page
            0x09, 0x01,               // usage 1
            0xA1, 0x01,               // collection (application)
            0x15, 0x00,     0x26,     0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x09, 0x01, 0x81, 0x02, // 64 in
            0x95, 0x40,     0x09,     0x01, 0x91, 0x02,                                           // 64 out
            0xC0};
}

void appendHidInterface(std::vector<std::uint8_t>& d, std::uint8_t number, std::size_t reportLength,
                        std::uint8_t endpoint) {
    const std::uint8_t block[] = {0x09,
                                  0x04,
                                  number,
                                  0x00,
                                  0x01,
                                  0x03,
                                  0x00,
                                  0x00,
                                  0x00, // interface
                                  0x09,
                                  0x21,
                                  0x11,
                                  0x01,
                                  0x00,
                                  0x01,
                                  0x22,
                                  lo(static_cast<unsigned>(reportLength)),
                                  hi(static_cast<unsigned>(reportLength)), // HID
                                  0x07,
                                  0x05,
                                  endpoint,
                                  0x03,
                                  0x40,
                                  0x00,
                                  0x01}; // interrupt IN
    d.insert(d.end(), std::begin(block), std::end(block));
}
} // namespace

std::vector<std::uint8_t> ModuleDescriptors::usbDescriptors() {
    std::vector<std::uint8_t> d = {0x12,
                                   0x01,
                                   0x00,
                                   0x02,
                                   0x00,
                                   0x00,
                                   0x00,
                                   0x40,
                                   lo(ModuleUsb::vendorId),
                                   hi(ModuleUsb::vendorId),
                                   lo(ModuleUsb::productId),
                                   hi(ModuleUsb::productId),
                                   0x00,
                                   0x01,
                                   0x01,
                                   0x02,
                                   0x03,
                                   0x01};
    const std::size_t configStart = d.size();
    const std::uint8_t config[] = {0x09, 0x02, 0x00, 0x00, 0x04, 0x01, 0x00, 0x80, 0xFA};
    d.insert(d.end(), std::begin(config), std::end(config));
    appendHidInterface(d, 0, touchReport().size(), 0x81);
    appendHidInterface(d, 1, vendorReport().size(), 0x82);
    const std::uint8_t bulk[] = {0x09,
                                 0x04,
                                 ModuleUsb::firstInterface,
                                 0x00,
                                 0x02,
                                 0xFF,
                                 0x00,
                                 0x00,
                                 0x00,
                                 0x07,
                                 0x05,
                                 ModuleUsb::writeEndpoint,
                                 0x02,
                                 0x00,
                                 0x02,
                                 0x00,
                                 0x07,
                                 0x05,
                                 ModuleUsb::replyEndpoint,
                                 0x02,
                                 0x00,
                                 0x02,
                                 0x00,
                                 0x09,
                                 0x04,
                                 ModuleUsb::secondInterface,
                                 0x00,
                                 0x01,
                                 0xFF,
                                 0x00,
                                 0x00,
                                 0x00,
                                 0x07,
                                 0x05,
                                 ModuleUsb::liveEndpoint,
                                 0x02,
                                 0x00,
                                 0x02,
                                 0x00};
    d.insert(d.end(), std::begin(bulk), std::end(bulk));
    const auto total = static_cast<unsigned>(d.size() - configStart);
    d[configStart + 2] = lo(total);
    d[configStart + 3] = hi(total);
    return d;
}

std::vector<std::uint8_t> ModuleDescriptors::touchReport() {
    return {0x05, 0x0D, 0x09, 0x04, 0xA1, 0x01, // digitizer, touch screen, application
            0x85, 0x01, 0x09, 0x22, 0xA1, 0x02, // report 1, finger, logical
            0x09, 0x42, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x01, 0x81, 0x02, // tip switch
            0x95, 0x07, 0x81, 0x03,                                                 // padding
            0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x26, 0xFF, 0x7F, 0x75, 0x10, 0x95, 0x02, 0x81, 0x02, // x, y
            0xC0, 0xC0};
}

std::vector<std::uint8_t> ModuleDescriptors::vendorReport() {
    return vendorReportOnPage(ModuleUsb::hidUsagePage);
}

std::vector<std::uint8_t> ModuleDescriptors::vendorReportWithoutCollection() {
    return vendorReportOnPage(0xFF01);
}
