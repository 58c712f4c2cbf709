#include "module/RequestHistory.h"

void RequestHistory::record(const DevicePacket& request) {
    std::lock_guard<std::mutex> l(lock);
    const auto counted = counts.find(request.code());
    if (counted != counts.end()) {
        ++counted->second;
        lastByCode[request.code()] = request;
    } else if (counts.size() < codeCapacity) {
        counts.emplace(request.code(), 1);
        lastByCode[request.code()] = request;
    }
    if (received.size() == recentCapacity)
        received.pop_front();
    received.push_back(request);
}

int RequestHistory::count(std::uint32_t code) const {
    std::lock_guard<std::mutex> l(lock);
    const auto it = counts.find(code);
    return it == counts.end() ? 0 : it->second;
}

std::vector<DevicePacket> RequestHistory::recent() const {
    std::lock_guard<std::mutex> l(lock);
    return {received.begin(), received.end()};
}

std::optional<DevicePacket> RequestHistory::last(std::uint32_t code) const {
    std::lock_guard<std::mutex> l(lock);
    const auto it = lastByCode.find(code);
    if (it == lastByCode.end())
        return std::nullopt;
    return it->second;
}

void RequestHistory::clear() {
    std::lock_guard<std::mutex> l(lock);
    counts.clear();
    lastByCode.clear();
    received.clear();
}
