#pragma once

#include "device/ReceiverRuns.h"

#include <atomic>
#include <functional>
#include <mutex>

class PacketWriter;
class ReceiveLoop;

// The receive thread's lifecycle: which endpoint it reads (the mode), and the runs started and
// stopped by the GUI thread and the watch thread. Every run reads the writer's handle of the moment
// it starts.
class ReceiverControl {
public:
    ReceiverControl(ReceiveLoop& loop, const PacketWriter& writer);
    ~ReceiverControl();

    int mode() const { return receiveMode.load(); }
    // The mode the next start uses (kept across reopens).
    void setMode(int mode) { receiveMode.store(mode); }
    void start();
    void stop();
    // Stops the current run and starts one in the given mode, all under one lock, so that a reopen
    // on the watch thread cannot slip in between (nor take the mode meanwhile).
    void restart(int mode);
    // Stops and joins every run, lets change swap the handle, and starts a run again in the kept
    // mode when change says so. One lock across it all, so no run reads a handle closed under it
    // or starts in a stale mode.
    bool replaceLink(const std::function<bool()>& change);
    // Runs that outlasted their stop wait and are still kept for joining.
    int orphaned();

private:
    void startLocked(int mode);

    ReceiveLoop& loop;
    const PacketWriter& writer;
    std::atomic<int> receiveMode{0};
    std::mutex receiverLock; // guards runs
    ReceiverRuns runs;
};
