#pragma once

#include "device/PacketSender.h"
#include "device/UsbTransport.h"

#include <atomic>
#include <mutex>

// The write side of the link: the open handle and the lock every write holds. Any thread writes;
// the handle changes only under the same lock, so no write ever uses a handle being closed.
class PacketWriter : public PacketSender {
public:
    explicit PacketWriter(UsbTransport& usb);

    // Writes one packet (traced unless its code is a frequent one); a failed or timed-out write is
    // lost, since commands are not acknowledged at this layer.
    void send(const DevicePacket& packet) override;

    UsbTransport::HandleRef handle() const { return current.load(); }
    bool isOpen() const { return current.load() != 0; }
    // Takes a newly opened handle.
    void adopt(UsbTransport::HandleRef opened);
    // Releases the interfaces and closes the handle, if one is open.
    void close();

private:
    UsbTransport& usb;
    std::mutex sendLock; // guards writes against a change of handle
    std::atomic<UsbTransport::HandleRef> current{0};
};
