#include "device/ReceiveLoop.h"

#include "device/DevicePacket.h"
#include "device/PacketCodes.h"
#include "device/PacketDispatcher.h"
#include "device/ReceiverThread.h"
#include "platform/Pacing.h"

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
        const UsbError r =
            usb.bulkTransfer(handle, endpoint, packet.data(), DevicePacket::size, &got, timeoutMs);
        if (r != UsbError::none) {
            backOff(r);
            continue;
        }
        if (mode != 0 && packet.code() == DAT_LIVE_IMGEND)
            liveFrameEnded();
        dispatcher.dispatch(packet, got);
    }
    if (mode != 0 && liveFramesOutstanding.load() > 0)
        drain(control, handle, endpoint);
}

void ReceiveLoop::liveFrameEnded() {
    int outstanding = liveFramesOutstanding.load();
    while (outstanding > 0 && !liveFramesOutstanding.compare_exchange_weak(outstanding, outstanding - 1)) {
    }
}

void ReceiveLoop::drain(const ReceiverThread& control, UsbTransport::HandleRef handle,
                        unsigned char endpoint) {
    DevicePacket packet;
    int failures = 0;
    while (failures < 2 && !control.abortRequested()) {
        packet.clear();
        int got = 0;
        const UsbError r = usb.bulkTransfer(handle, endpoint, packet.data(), DevicePacket::size, &got,
                                            ModuleUsb::drainTimeoutMs);
        if (r != UsbError::none) {
            if (r == UsbError::noDevice)
                return; // nothing left to drain
            ++failures;
            continue;
        }
        if (packet.code() == DAT_LIVE_IMAGE) {
            failures = 0;
            dispatcher.dispatch(packet, got);
        } else if (packet.code() == DAT_LIVE_IMGEND) {
            break; // that frame is not reported
        }
    }
    // Ended at a frame end or on a quiet stream: nothing is on its way any more. An aborted drain
    // leaves its frame counted, so the next stop drains it.
    if (!control.abortRequested())
        liveFramesOutstanding.store(0);
}

void ReceiveLoop::backOff(UsbError result) {
    if (result == UsbError::timeout)
        return; // the read already waited
    if (result == UsbError::noDevice) {
        noDeviceCount.fetch_add(1);
        lost.store(true);
        Pacing::pause(100);
    } else {
        Pacing::pause(10);
    }
}
