#include "device/ReceiverControl.h"

#include "device/PacketWriter.h"
#include "device/ReceiveLoop.h"
#include "device/ReceiverThread.h"

ReceiverControl::ReceiverControl(ReceiveLoop& receiveLoop, const PacketWriter& packetWriter)
    : loop(receiveLoop)
    , writer(packetWriter) {}

ReceiverControl::~ReceiverControl() {
    std::lock_guard<std::mutex> lock(receiverLock);
    runs.stop();
    // A run that outlasted its stop wait ends now, before the handle it reads goes away.
    runs.reap(true);
}

void ReceiverControl::start() {
    std::lock_guard<std::mutex> lock(receiverLock);
    startLocked(receiveMode.load());
}

void ReceiverControl::stop() {
    std::lock_guard<std::mutex> lock(receiverLock);
    runs.stop();
}

void ReceiverControl::restart(int mode) {
    std::lock_guard<std::mutex> lock(receiverLock);
    runs.stop();
    receiveMode.store(mode);
    startLocked(mode);
}

bool ReceiverControl::replaceLink(const std::function<bool()>& change) {
    std::lock_guard<std::mutex> lock(receiverLock);
    runs.stop();
    runs.reap(true);
    if (!change())
        return false;
    startLocked(receiveMode.load());
    return true;
}

int ReceiverControl::orphaned() {
    std::lock_guard<std::mutex> lock(receiverLock);
    runs.reap(false);
    return runs.keptCount();
}

void ReceiverControl::startLocked(int mode) {
    const auto handle = writer.handle();
    runs.start([this, mode, handle](const ReceiverThread& control) { loop.run(control, mode, handle); });
}
