#include "DeviceTestSupport.h"

#include "device/PacketCodes.h"

#include <thread>

namespace {

// Runs the watch loop on its own thread, as the controller does, until the test ends it.
class WatchRun {
public:
    WatchRun(CamDevCtrl& link, RecordingWatchClient& client)
        : watchClient(client)
        , thread([&link, &client] { link.deviceWatchLoop(client); }) {}
    ~WatchRun() {
        watchClient.stop.store(true);
        thread.join();
    }

private:
    RecordingWatchClient& watchClient;
    std::thread thread;
};

} // namespace

TEST_F(SimulatedLinkTest, WatchOpensUnplugsAndReopens) {
    makeLink();
    RecordingWatchClient client;
    QSignalSpy version(link.get(), &CamDevCtrl::sigSetFWVersion);
    {
        WatchRun run(*link, client);
        ASSERT_TRUE(eventsUntil([&] { return client.opened.load() == 1; }));
        EXPECT_TRUE(client.connected.load());
        ASSERT_TRUE(eventsUntil([&] { return module->commandCount(CMD_GET_EEPROM) == 1; }));

        module->unplug();
        ASSERT_TRUE(eventsUntil([&] { return client.absent.load() >= 2; }));
        EXPECT_FALSE(client.connected.load());
        EXPECT_EQ(client.opened.load(), 1);

        module->plug();
        ASSERT_TRUE(eventsUntil([&] { return client.opened.load() == 2; }));
        ASSERT_TRUE(eventsUntil([&] { return module->commandCount(CMD_GET_EEPROM) == 2; }));
        // The replugged module answers through the reopened handle. Waited for while the watch
        // still runs: its end stops the receiver, and an answer still on its way is dropped.
        EXPECT_TRUE(eventsUntil([&] { return version.count() == 2; }));
    }
}

TEST_F(SimulatedLinkTest, ModuleWithoutHidCollectionIsNeverOpened) {
    module->setFault(SimFault::HidMissing);
    makeLink();
    EXPECT_FALSE(link->isDevicePresent(true));
    EXPECT_TRUE(link->isDevicePresent(false));
    RecordingWatchClient client;
    {
        WatchRun run(*link, client);
        ASSERT_TRUE(eventsUntil([&] { return client.absent.load() >= 3; }));
    }
    EXPECT_EQ(client.opened.load(), 0);
    EXPECT_EQ(module->receivedPackets().size(), 0u);
}

TEST_F(SimulatedLinkTest, UnreadableDescriptorEndsThePresenceWalkButNotTheOpenWalk) {
    module->setFault(SimFault::DescriptorFailure);
    makeLink();
    EXPECT_FALSE(link->isDevicePresent(false));
    EXPECT_TRUE(link->openDevice());
}

TEST_F(SimulatedLinkTest, ClaimFailureTriesTheNextModule) {
    module->setFault(SimFault::SecondModule);
    module->setFault(SimFault::ClaimFailure, 1);
    makeLink();
    ASSERT_TRUE(link->openDevice());
    EXPECT_EQ(module->claimedModule(), 1);
}

TEST_F(SimulatedLinkTest, SecondModuleTheFirstIsUsed) {
    module->setFault(SimFault::SecondModule);
    makeLink();
    ASSERT_TRUE(link->openDevice());
    EXPECT_EQ(module->claimedModule(), 0);
}

TEST_F(SimulatedLinkTest, ClaimFailureOnEveryModuleIsRetriedNextCycle) {
    module->setFault(SimFault::ClaimFailure, 1);
    makeLink();
    RecordingWatchClient client;
    {
        WatchRun run(*link, client);
        // Two watch cycles have tried to open the module (each asks for the kernel-driver detach).
        ASSERT_TRUE(eventsUntil([&] { return module->autoDetachRequests() >= 2; }));
        EXPECT_EQ(client.opened.load(), 0);
        EXPECT_EQ(client.absent.load(), 0); // present, just not opened
        module->setFault(SimFault::ClaimFailure, 0);
        ASSERT_TRUE(eventsUntil([&] { return client.opened.load() == 1; }));
    }
}

TEST_F(SimulatedLinkTest, ModuleBackWithinOneCycleIsReopened) {
    makeLink();
    RecordingWatchClient client;
    QSignalSpy version(link.get(), &CamDevCtrl::sigSetFWVersion);
    {
        WatchRun run(*link, client);
        ASSERT_TRUE(eventsUntil([&] { return version.count() == 1; }));
        module->unplug();
        module->plug(); // faster than the watch loop looks
        ASSERT_TRUE(eventsUntil([&] { return client.opened.load() == 2; }));
        EXPECT_EQ(client.absent.load(), 0);
        EXPECT_TRUE(eventsUntil([&] { return version.count() == 2; }));
    }
}

// Each way the module can be unusable reaches the client as its own problem, every cycle, and an
// open ends it.
TEST_F(SimulatedLinkTest, WatchTellsWhyTheModuleCannotBeUsed) {
    struct Case {
        const char* name;
        SimFault fault;
        ModuleProblem expected;
        bool reachesOpen; // on the bus with its HID collection: the open is tried and fails
    };
    const Case cases[] = {
        {"no permission", SimFault::OpenDenied, ModuleProblem::noPermission, true},
        {"interface claimed elsewhere", SimFault::ClaimFailure, ModuleProblem::noHidInterface, true},
        {"no HID collection", SimFault::HidMissing, ModuleProblem::noHidInterface, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        module = std::make_unique<SimulatedModule>();
        module->setFault(c.fault, 1);
        makeLink();
        RecordingWatchClient client;
        client.problem.store(ModuleProblem::none);
        {
            WatchRun run(*link, client);
            ASSERT_TRUE(
                eventsUntil([&] { return (c.reachesOpen ? client.openFailed : client.absent).load() >= 2; }));
            EXPECT_EQ(client.problem.load(), c.expected);
            EXPECT_EQ(client.opened.load(), 0);
            // Put right (rule installed, other program closed, collection back): opened.
            module->setFault(c.fault, 0);
            ASSERT_TRUE(eventsUntil([&] { return client.opened.load() == 1; }));
        }
        link.reset();
    }
    // Nothing on the bus.
    module = std::make_unique<SimulatedModule>();
    module->unplug();
    makeLink();
    RecordingWatchClient client;
    {
        WatchRun run(*link, client);
        ASSERT_TRUE(eventsUntil([&] { return client.absent.load() >= 2; }));
    }
    EXPECT_EQ(client.problem.load(), ModuleProblem::noModule);
    EXPECT_EQ(client.openFailed.load(), 0);
}
