#include "device/DevicePacket.h"
#include "device/PacketCodes.h"
#include "module/FrameSource.h"
#include "sim/SimulatedModule.h"

#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

// What the test and the module's thread share about one held capture.
struct Exposure {
    std::atomic<bool> started{false};
    std::atomic<bool> release{false};
};

// A camera whose capture lasts until the test lets it go, so an unplug can land inside it.
class HeldCamera : public FrameSource {
public:
    explicit HeldCamera(std::shared_ptr<Exposure> shared)
        : exposure(std::move(shared)) {}
    void captureCalibration(Capture, const Sensor&, std::uint8_t* out) override {
        exposure->started.store(true);
        while (!exposure->release.load())
            std::this_thread::yield();
        std::memset(out, 7, static_cast<std::size_t>(calibWidth) * calibHeight);
    }
    void captureLive(const Sensor&, std::uint8_t*) override {}

private:
    std::shared_ptr<Exposure> exposure;
};

UsbError write(ModuleDevice& module, std::uint32_t code, unsigned connection) {
    DevicePacket p = DevicePacket::make(code);
    int transferred = 0;
    return module.writeRequest(p.data(), DevicePacket::size, &transferred, connection);
}

} // namespace

// Unplugged, the module loses its power: a capture it was taking is neither kept nor answered after
// the replug, and a write that raced the unplug never reaches the replugged module. Otherwise an
// image or an end from before the unplug could pass for one asked for afterwards.
TEST(ModulePower, NothingFromBeforeAnUnplugOutlivesIt) {
    SimulatedModule module;
    auto exposure = std::make_shared<Exposure>();
    module.setFrameSource(std::make_unique<HeldCamera>(exposure));
    const unsigned before = module.connection();
    ASSERT_EQ(write(module, CMD_AC_WHITE_START, before), UsbError::none);
    while (!exposure->started.load())
        std::this_thread::yield();
    module.unplug();
    module.plug();
    exposure->release.store(true);
    ASSERT_TRUE(module.waitUntilIdle());
    EXPECT_EQ(module.captureCount(AcImageId::white), 0);
    EXPECT_TRUE(module.capturedImage(AcImageId::white).empty());

    EXPECT_EQ(write(module, CMD_AC_BLACK_START, before), UsbError::noDevice);
    ASSERT_EQ(write(module, CMD_SENDVERSION, module.connection()), UsbError::none);
    DevicePacket reply;
    int got = 0;
    ASSERT_EQ(module.readEndpoint(ModuleUsb::replyEndpoint, reply.data(), DevicePacket::size, &got, 2000),
              UsbError::none);
    EXPECT_EQ(reply.code(), DAT_VERSION); // neither the lost capture's end nor the raced one's
    ASSERT_TRUE(module.waitUntilIdle());
    EXPECT_EQ(module.captureCount(AcImageId::black), 0);
    EXPECT_EQ(module.pendingPackets(ModuleUsb::replyEndpoint), 0u);
}
