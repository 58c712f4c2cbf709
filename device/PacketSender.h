#pragma once

class DevicePacket;

// Where packets for the module go. The device link's writer is the real one; the image
// reassembly sends its block requests through it, and tests record them instead.
class PacketSender {
public:
    virtual ~PacketSender() = default;
    // Any thread. A packet sent while no module is open is dropped.
    virtual void send(const DevicePacket& packet) = 0;
};
