#pragma once

#include "device/ReceiverThread.h"

#include <memory>
#include <vector>

// The receive thread's runs: the current one, and earlier ones that outlasted their stop wait and
// are kept until they can be joined. Not locked itself: its owner guards every call with one mutex
// (the device link's receiverLock), since the GUI and the watch thread both start and stop runs.
class ReceiverRuns {
public:
    // Starts a new run. A run still current is stopped first, and every earlier run is told to give
    // up its drain and joined, so no two runs ever read side by side.
    void start(ReceiverThread::Body body);
    // Stops the current run and waits for it, giving up after 10 s (the run is then kept).
    void stop();
    // Joins the kept runs that have ended; with abortRunning, tells the others to end and joins
    // them too (each ends within one read time-out).
    void reap(bool abortRunning);
    int keptCount() const { return static_cast<int>(kept.size()); }

private:
    std::unique_ptr<ReceiverThread> current;
    std::vector<std::unique_ptr<ReceiverThread>> kept;
};
