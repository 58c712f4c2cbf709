#pragma once

#include "device/DevicePacket.h"
#include "device/UsbTransport.h"

#include <condition_variable>
#include <deque>
#include <mutex>

// One bulk IN endpoint of the simulated module: packets queued by the module, taken by reads that
// block up to their time-out like a bulk read (time-outs follow the pacing scale). Each unplug
// starts a new connection; an answer the module worked out during an earlier one is dropped, as a
// module that lost its power never sends it.
class PacketPipe {
public:
    struct Item {
        DevicePacket packet;
        int readLength = DevicePacket::size; // what the read returns; short for damaged transfers
    };
    static constexpr std::size_t capacity = 8192;

    // Queued while connected (the test's own packets).
    void push(const Item& item);
    // Queued only while the connection the answer belongs to is still the current one.
    void push(const Item& item, unsigned connection);
    // UsbError::none and the bytes in *transferred, UsbError::timeout, or UsbError::noDevice once
    // the module is unplugged.
    UsbError pop(unsigned char* data, int length, int* transferred, unsigned int timeoutMs);
    // pop() that never waits: UsbError::timeout when the queue is empty.
    UsbError tryPop(unsigned char* data, int length, int* transferred);
    // Off the bus; the next connect() starts the given connection.
    void disconnect(unsigned nextConnection);
    void connect();
    std::size_t size() const;

private:
    UsbError takeFront(std::unique_lock<std::mutex>& held, unsigned char* data, int length, int* transferred);

    void pushLocked(const Item& item);

    mutable std::mutex lock;         // guards queue, connected and currentConnection
    std::condition_variable arrived; // signalled on push and on disconnect
    std::deque<Item> queue;
    bool connected = true;
    unsigned currentConnection = 0;
};
