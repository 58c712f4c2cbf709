#pragma once

#include "device/DevicePacket.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

// What the module was asked, for tests and benchmarks: a count and the last packet of each command
// code, and only the most recent requests in order, so a long session holds a bounded amount
// however many requests it handles. Safe to use from any thread.
class RequestHistory {
public:
    static constexpr std::size_t recentCapacity = 1024;
    static constexpr std::size_t codeCapacity = 256; // distinct codes counted; later new ones are not

    void record(const DevicePacket& request);
    int count(std::uint32_t code) const;
    // The most recent requests, oldest first (at most recentCapacity).
    std::vector<DevicePacket> recent() const;
    // The last request with this code since clear.
    std::optional<DevicePacket> last(std::uint32_t code) const;
    void clear();

private:
    mutable std::mutex lock; // guards counts, lastByCode and received
    std::map<std::uint32_t, int> counts;
    std::map<std::uint32_t, DevicePacket> lastByCode;
    std::deque<DevicePacket> received;
};
