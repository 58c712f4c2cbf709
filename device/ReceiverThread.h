#pragma once

#include <atomic>
#include <functional>
#include <thread>

// One run of the receive loop on its own thread, with its own stop and abort requests, so that a
// run that outlasts its stop wait can be kept, told to give up, and joined later.
class ReceiverThread {
public:
    using Body = std::function<void(const ReceiverThread&)>;

    explicit ReceiverThread(Body body);
    ~ReceiverThread(); // joins

    ReceiverThread(const ReceiverThread&) = delete;
    ReceiverThread& operator=(const ReceiverThread&) = delete;

    // Stop: end the loop at the next read (a live loop then drains the stream).
    void requestStop() { stop.store(true); }
    // Abort: end the drain as well.
    void requestAbort() {
        stop.store(true);
        abort.store(true);
    }
    bool stopRequested() const { return stop.load(); }
    bool abortRequested() const { return abort.load(); }
    bool finished() const { return done.load(); }
    void join();

private:
    std::atomic<bool> stop{false};
    std::atomic<bool> abort{false};
    std::atomic<bool> done{false};
    std::thread thread; // last, so the flags exist before the body runs
};
