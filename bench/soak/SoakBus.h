#pragma once

#include "device/UsbTransport.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What the soak needs from a module on a bus: a transport for the device link, plugging and
// unplugging, and the images the module captured, to compare with what arrived. The simulated
// module is one bus; the emulated USB bus plugs in as another.
class SoakBus {
public:
    virtual ~SoakBus() = default;

    virtual std::string name() const = 0;
    virtual std::unique_ptr<UsbTransport> createTransport() = 0;
    virtual void plug() = 0;
    virtual void unplug() = 0;
    // Round-trip delay of the module's answers, so an unplug can land inside a transfer.
    virtual void setAnswerDelayMs(double ms) = 0;
    // How long each capture takes, to widen the window in which a capture asked for before an
    // unplug would land after it.
    virtual void setCaptureMs(double ms) = 0;
    // The image the module's last capture command with this id took (102 white); empty before.
    virtual std::vector<std::uint8_t> capturedImage(int id) const = 0;
    // How many captures with this id the module has kept.
    virtual int captureCount(int id) const = 0;
    // Requests with this code the module has handled since the last forgetHistory.
    virtual int commandCount(std::uint32_t code) const = 0;
    // Drops the module's record of the requests it handled, which would otherwise grow with every
    // cycle and hide the tool's own memory figures.
    virtual void forgetHistory() = 0;
};
