#include "device/RegisterQueue.h"

#include "platform/Pacing.h"

void RegisterQueue::queueWrite(std::uint16_t address, std::uint8_t value) {
    std::lock_guard<std::mutex> lock(registerLock);
    registerQueue.clear();
    registerQueue.emplace_back(address, value);
    registerQueuePending = true;
}

void RegisterQueue::queueSensorGain(unsigned short gain) {
    std::lock_guard<std::mutex> lock(registerLock);
    registerQueue.clear();
    registerQueue.emplace_back(0x3008, 0x42);
    registerQueue.emplace_back(0x350A, static_cast<std::uint8_t>((gain >> 8) & 0xFF));
    registerQueue.emplace_back(0x350B, static_cast<std::uint8_t>(gain & 0xFF));
    registerQueue.emplace_back(0x3008, 0x02);
    registerQueuePending = true;
}

void RegisterQueue::flush(const Writer& write) {
    std::lock_guard<std::mutex> lock(registerLock);
    if (!registerQueuePending)
        return;
    for (const Entry& e : registerQueue) {
        write(e.first, e.second);
        Pacing::pause(100);
    }
    // The entries stay listed but are not sent again; the next queue operation empties the list.
    registerQueuePending = false;
}

bool RegisterQueue::pending() const {
    std::lock_guard<std::mutex> lock(registerLock);
    return registerQueuePending;
}

std::vector<RegisterQueue::Entry> RegisterQueue::entries() const {
    std::lock_guard<std::mutex> lock(registerLock);
    return registerQueue;
}
