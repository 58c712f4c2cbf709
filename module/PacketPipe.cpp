#include "module/PacketPipe.h"

#include "platform/Pacing.h"

#include <algorithm>
#include <chrono>
#include <cstring>

void PacketPipe::push(const Item& item) {
    {
        std::lock_guard<std::mutex> l(lock);
        if (!connected)
            return;
        pushLocked(item);
    }
    arrived.notify_one();
}

void PacketPipe::push(const Item& item, unsigned connection) {
    {
        std::lock_guard<std::mutex> l(lock);
        if (!connected || connection != currentConnection)
            return;
        pushLocked(item);
    }
    arrived.notify_one();
}

void PacketPipe::pushLocked(const Item& item) {
    if (queue.size() >= capacity)
        queue.pop_front(); // the module's buffer overflows: the oldest packet is lost
    queue.push_back(item);
}

UsbError PacketPipe::pop(unsigned char* data, int length, int* transferred, unsigned int timeoutMs) {
    *transferred = 0;
    const long long us = std::max(1000LL, Pacing::scaledMicroseconds(static_cast<int>(timeoutMs)));
    std::unique_lock<std::mutex> l(lock);
    arrived.wait_for(l, std::chrono::microseconds(us), [this] { return !connected || !queue.empty(); });
    return takeFront(l, data, length, transferred);
}

UsbError PacketPipe::tryPop(unsigned char* data, int length, int* transferred) {
    *transferred = 0;
    std::unique_lock<std::mutex> l(lock);
    return takeFront(l, data, length, transferred);
}

UsbError PacketPipe::takeFront(std::unique_lock<std::mutex>& l, unsigned char* data, int length,
                               int* transferred) {
    if (!connected)
        return UsbError::noDevice;
    if (queue.empty())
        return UsbError::timeout;
    const Item item = queue.front();
    queue.pop_front();
    l.unlock();
    const int n = std::clamp(std::min(length, item.readLength), 0, DevicePacket::size);
    std::memcpy(data, item.packet.data(), static_cast<std::size_t>(n));
    *transferred = n;
    return UsbError::none;
}

void PacketPipe::disconnect(unsigned nextConnection) {
    {
        std::lock_guard<std::mutex> l(lock);
        connected = false;
        currentConnection = nextConnection;
        queue.clear();
    }
    arrived.notify_all();
}

void PacketPipe::connect() {
    std::lock_guard<std::mutex> l(lock);
    connected = true;
}

std::size_t PacketPipe::size() const {
    std::lock_guard<std::mutex> l(lock);
    return queue.size();
}
