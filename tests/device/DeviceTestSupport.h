#pragma once

#include "device/CamDevCtrl.h"
#include "device/DeviceWatchClient.h"
#include "platform/Pacing.h"
#include "sim/SimulatedModule.h"
#include "tests/support/EventualAssert.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QThread>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

// A device link over the simulated module with all pauses scaled down.
class SimulatedLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        Pacing::setScale(0.01);
        module = std::make_unique<SimulatedModule>();
    }
    void TearDown() override {
        link.reset();
        module.reset();
        Pacing::setScale(1.0);
    }
    void makeLink() { link = std::make_unique<CamDevCtrl>(module->createTransport()); }
    // Opens the module and waits until the connect sequence has been answered.
    void openLink() {
        makeLink();
        ASSERT_TRUE(link->isDevicePresent(true));
        ASSERT_TRUE(link->openDevice());
        ASSERT_TRUE(eventsUntil([this] { return module->commandCount(0x111C) == 1; }));
    }

    std::unique_ptr<SimulatedModule> module;
    std::unique_ptr<CamDevCtrl> link;
};

// The controller's side of the watch loop, recorded for assertions.
class RecordingWatchClient : public DeviceWatchClient {
public:
    bool watchStopRequested() const override { return stop.load(); }
    bool isConnected() const override { return connected.load(); }
    void setConnected(bool c) override { connected.store(c); }
    void reportAbsent() override { absent.fetch_add(1); }
    void reportOpened() override { opened.fetch_add(1); }
    void reportOpenFailed() override { openFailed.fetch_add(1); }
    void reportProblem(ModuleProblem why) override { problem.store(why); }

    std::atomic<bool> stop{false};
    std::atomic<bool> connected{false};
    std::atomic<int> absent{0};
    std::atomic<int> opened{0};
    std::atomic<int> openFailed{0};
    std::atomic<ModuleProblem> problem{ModuleProblem::none};
};
