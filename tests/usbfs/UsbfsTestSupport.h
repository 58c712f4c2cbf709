#pragma once

#include "device/CamDevCtrl.h"
#include "device/DeviceWatchClient.h"
#include "device/LibusbTransport.h"
#include "device/PacketCodes.h"
#include "module/ModuleDevice.h"
#include "platform/Pacing.h"
#include "tests/support/EventualAssert.h"
#include "usbemu/EmulatedBus.h"
#include "usbemu/UsbfsModuleHandler.h"

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

// The device link over the real libusb and hidapi (no transport given) on an emulated bus.
class UsbfsLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* preload = std::getenv("LD_PRELOAD");
        if (!preload || !std::strstr(preload, "libumockdev-preload"))
            GTEST_SKIP() << "needs umockdev's preload library: run under umockdev-wrapper (ctest -L usbfs)";
        Pacing::setScale(0.01);
    }
    void TearDown() override {
        link.reset();
        bus.reset();
        Pacing::setScale(1.0);
    }
    void makeBus(const EmulatedBus::Options& options = {}) { bus = std::make_unique<EmulatedBus>(options); }
    void makeLink() { link = std::make_unique<CamDevCtrl>(std::make_unique<LibusbTransport>()); }
    ModuleDevice& module(int index = 0) { return bus->module(index); }
    // Opens the module and waits until the connect sequence has reached it.
    void openLink() {
        makeLink();
        ASSERT_TRUE(link->isDevicePresent(true));
        ASSERT_TRUE(link->openDevice());
        ASSERT_TRUE(eventsUntil([this] { return module().commandCount(CMD_GET_EEPROM) == 1; }, 10000));
    }

    std::unique_ptr<EmulatedBus> bus;
    std::unique_ptr<CamDevCtrl> link;
};

// The controller's side of the watch loop, run on its own thread as the controller does.
class WatchRecorder : public DeviceWatchClient {
public:
    explicit WatchRecorder(CamDevCtrl& link)
        : thread([this, &link] { link.deviceWatchLoop(*this); }) {}
    ~WatchRecorder() override {
        stop.store(true);
        thread.join();
    }
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

private:
    std::thread thread; // last: runs on the members above
};
