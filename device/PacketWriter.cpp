#include "device/PacketWriter.h"

#include "device/CommandPackets.h"
#include "device/DevicePacket.h"
#include "device/PacketCodes.h"
#include "device/PacketTrace.h"

PacketWriter::PacketWriter(UsbTransport& transport)
    : usb(transport) {}

void PacketWriter::send(const DevicePacket& packet) {
    {
        std::lock_guard<std::mutex> lock(sendLock);
        const UsbTransport::HandleRef h = current.load();
        if (h != 0) {
            DevicePacket copy = packet; // the transport takes a mutable buffer
            int sent = 0;
            usb.bulkTransfer(h, ModuleUsb::writeEndpoint, copy.data(), DevicePacket::size, &sent,
                             ModuleUsb::writeTimeoutMs);
        }
    }
    // Traced even with no module open: the trace shows what the tool meant to say.
    if (CommandPackets::traced(packet.code()))
        logPacketTrace(packet);
}

void PacketWriter::adopt(UsbTransport::HandleRef opened) {
    std::lock_guard<std::mutex> lock(sendLock);
    current.store(opened);
}

void PacketWriter::close() {
    std::lock_guard<std::mutex> lock(sendLock);
    const UsbTransport::HandleRef h = current.exchange(0);
    if (h == 0)
        return;
    usb.releaseInterface(h, ModuleUsb::firstInterface);
    usb.releaseInterface(h, ModuleUsb::secondInterface);
    usb.close(h);
}
