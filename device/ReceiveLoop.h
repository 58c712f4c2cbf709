#pragma once

#include "device/UsbTransport.h"

#include <atomic>

class PacketDispatcher;
class ReceiverThread;

// The body of the receive thread: reads one 512-byte packet at a time from the reply endpoint
// (mode 0) or the live endpoint (mode 1) and hands it to the dispatch; in mode 1 it drains the
// live stream after a stop so the module is not left in the middle of a frame.
class ReceiveLoop {
public:
    ReceiveLoop(UsbTransport& usb, PacketDispatcher& dispatcher);

    void run(const ReceiverThread& control, int mode, UsbTransport::HandleRef handle);

    // Reads that failed because the module is gone, since construction (for tests and diagnostics).
    int noDeviceReads() const { return noDeviceCount.load(); }
    // Whether a read found the module gone since the last clearLinkLost: its handle is dead for
    // good, even if the module is back on the bus.
    bool linkLost() const { return lost.load(); }
    void clearLinkLost() { lost.store(false); }

    // A live frame was asked for (any thread); its frame end settles it. Only while a frame may be
    // on its way is the stream drained after a stop: with none, the module is not in the middle of
    // a frame. Counted, so that the late end of an earlier frame does not settle a newer request.
    void liveFrameRequested() { liveFramesOutstanding.fetch_add(1); }

private:
    void drain(const ReceiverThread& control, UsbTransport::HandleRef handle, unsigned char endpoint);
    void liveFrameEnded();
    // Pause after a failed read so that a vanished module does not make the loop spin.
    void backOff(UsbError result);

    UsbTransport& usb;
    PacketDispatcher& dispatcher;
    std::atomic<int> noDeviceCount{0};
    std::atomic<bool> lost{false};
    std::atomic<int> liveFramesOutstanding{0};
};
