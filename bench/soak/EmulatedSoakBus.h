#pragma once

#include "SoakBus.h"
#include "usbemu/EmulatedBus.h"

// The soak's bus over the emulated USB bus: the tool reaches the module through the real libusb
// and hidapi, so unplugs land in real URBs and in libusb's own device list. The process must run
// with umockdev's preload library.
class EmulatedSoakBus : public SoakBus {
public:
    explicit EmulatedSoakBus(std::uint32_t seed);

    std::string name() const override { return "usbfs"; }
    std::unique_ptr<UsbTransport> createTransport() override;
    void plug() override { bus.replug(); }
    void unplug() override { bus.unplug(); }
    void setAnswerDelayMs(double ms) override;
    void setCaptureMs(double ms) override;
    std::vector<std::uint8_t> capturedImage(int id) const override;
    int captureCount(int id) const override;
    int commandCount(std::uint32_t code) const override;
    void forgetHistory() override;

private:
    // The bus's accessors are not const; the soak only reads through them.
    mutable EmulatedBus bus;
};
