#include "device/ReceiveLoop.h"

#include "device/DevicePacket.h"
#include "device/PacketCodes.h"
#include "device/PacketDispatcher.h"
#include "device/ReceiverThread.h"
#include "platform/Pacing.h"

#include <libusb.h>

ReceiveLoop::ReceiveLoop(UsbTransport& transport, PacketDispatcher& packetDispatcher)
    : usb(transport)
    , dispatcher(packetDispatcher) {}

void ReceiveLoop::run(const ReceiverThread& control, int mode, UsbTransport::HandleRef handle) {
    if (handle == 0)
        return;
    const unsigned char endpoint = mode == 0 ? ModuleUsb::replyEndpoint : ModuleUsb::liveEndpoint;
    const unsigned int timeoutMs = mode == 0 ? ModuleUsb::readTimeoutMs : ModuleUsb::liveReadTimeoutMs;
    DevicePacket packet; // one buffer per run, reused for every read
    while (!control.stopRequested()) {
        packet.clear();
        int got = 0;
        const int r = usb.bulkTransfer(handle, endpoint, packet.data(), DevicePacket::size, &got, timeoutMs);
        if (r != 0) {
            backOff(r);
            continue;
        }
        if (mode != 0 && packet.code() == DAT_LIVE_IMGEND)
            liveFrameOutstanding.store(false);
        dispatcher.dispatch(packet, got);
    }
    if (mode != 0 && liveFrameOutstanding.load())
        drain(control, handle, endpoint);
}

void ReceiveLoop::drain(const ReceiverThread& control, UsbTransport::HandleRef handle,
                        unsigned char endpoint) {
    DevicePacket packet;
    int failures = 0;
    while (failures < 2 && !control.abortRequested()) {
        packet.clear();
        int got = 0;
        const int r = usb.bulkTransfer(handle, endpoint, packet.data(), DevicePacket::size, &got,
                                       ModuleUsb::drainTimeoutMs);
        if (r != 0) {
            if (r == LIBUSB_ERROR_NO_DEVICE)
                break; // nothing left to drain
            ++failures;
            continue;
        }
        if (packet.code() == DAT_LIVE_IMAGE) {
            failures = 0;
            dispatcher.dispatch(packet, got);
        } else if (packet.code() == DAT_LIVE_IMGEND) {
            liveFrameOutstanding.store(false);
            break; // that frame is not reported
        }
    }
}

void ReceiveLoop::backOff(int result) {
    if (result == LIBUSB_ERROR_TIMEOUT)
        return; // the read already waited
    if (result == LIBUSB_ERROR_NO_DEVICE) {
        noDeviceCount.fetch_add(1);
        lost.store(true);
        Pacing::pause(100);
    } else {
        Pacing::pause(10);
    }
}
