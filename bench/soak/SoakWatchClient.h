#pragma once

#include "device/DeviceWatchClient.h"

#include <atomic>

// The controller's side of the watch loop for the soak: flags and counters only.
class SoakWatchClient : public DeviceWatchClient {
public:
    bool watchStopRequested() const override { return stop.load(); }
    bool isConnected() const override { return connected.load(); }
    void setConnected(bool c) override { connected.store(c); }
    void reportAbsent() override { absent.fetch_add(1); }
    void reportOpened() override { opened.fetch_add(1); }
    void reportOpenFailed() override { openFailed.fetch_add(1); }

    std::atomic<bool> stop{false};
    std::atomic<bool> connected{false};
    std::atomic<int> absent{0};
    std::atomic<int> opened{0};
    std::atomic<int> openFailed{0};
};
