#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

// Camera-register writes waiting for the end of the next live frame, when they are sent in a
// burst between frames. A new queue operation replaces whatever has not been sent yet.
class RegisterQueue {
public:
    using Entry = std::pair<std::uint16_t, std::uint8_t>; // register address, value
    using Writer = std::function<void(std::uint16_t address, std::uint8_t value)>;

    void queueWrite(std::uint16_t address, std::uint8_t value);
    // The four writes that set the sensor gain inside a group hold.
    void queueSensorGain(unsigned short gain);

    // Receive thread, at a live-frame end: sends each pending entry, 100 ms apart, holding the
    // lock for the whole burst so that a queue operation waits for it to end.
    void flush(const Writer& write);

    bool pending() const;
    std::vector<Entry> entries() const;

private:
    mutable std::mutex registerLock; // guards registerQueue and registerQueuePending
    std::vector<Entry> registerQueue;
    bool registerQueuePending = false;
};
