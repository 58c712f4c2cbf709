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
        if (queue.size() >= capacity)
            queue.pop_front(); // the module's buffer overflows: the oldest packet is lost
        queue.push_back(item);
    }
    arrived.notify_one();
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

void PacketPipe::disconnect() {
    {
        std::lock_guard<std::mutex> l(lock);
        connected = false;
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
