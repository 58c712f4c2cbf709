#pragma once

#include "device/DevicePacket.h"
#include "device/UsbTransport.h"

#include <condition_variable>
#include <deque>
#include <mutex>

// One bulk IN endpoint of the simulated module: packets queued by the module, taken by reads that
// block up to their time-out like a bulk read (time-outs follow the pacing scale).
class PacketPipe {
public:
    struct Item {
        DevicePacket packet;
        int readLength = DevicePacket::size; // what the read returns; short for damaged transfers
    };
    static constexpr std::size_t capacity = 8192;

    void push(const Item& item);
    // UsbError::none and the bytes in *transferred, UsbError::timeout, or UsbError::noDevice once
    // the module is unplugged.
    UsbError pop(unsigned char* data, int length, int* transferred, unsigned int timeoutMs);
    // pop() that never waits: UsbError::timeout when the queue is empty.
    UsbError tryPop(unsigned char* data, int length, int* transferred);
    void disconnect();
    void connect();
    std::size_t size() const;

private:
    UsbError takeFront(std::unique_lock<std::mutex>& held, unsigned char* data, int length, int* transferred);

    mutable std::mutex lock;         // guards queue and connected
    std::condition_variable arrived; // signalled on push and on disconnect
    std::deque<Item> queue;
    bool connected = true;
};
