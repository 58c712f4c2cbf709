#pragma once

class DevicePacket;
class ImageReassembly;
class PacketSink;

// Turns one packet read from the module into a report to the sink or a step of the image
// reassembly. Pure protocol: no USB, no threads of its own.
class PacketDispatcher {
public:
    PacketDispatcher(PacketSink& sink, ImageReassembly& reassembly);

    // bytesRead: what the read that delivered the packet returned (image blocks need all 512).
    void dispatch(const DevicePacket& packet, int bytesRead);

private:
    void traceInputPoints(const DevicePacket& packet) const;

    PacketSink& sink;
    ImageReassembly& images;
};
