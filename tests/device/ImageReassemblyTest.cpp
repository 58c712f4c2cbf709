#include "device/ImageReassembly.h"
#include "device/DevicePacket.h"
#include "device/PacketCodes.h"
#include "device/PacketSender.h"
#include "device/PacketSink.h"

#include <gtest/gtest.h>
#include <tuple>
#include <vector>

namespace {

// Records the request packets the reassembly sends, read back from their bytes, and the images
// it reports.
class RecordingHost : public PacketSender, public PacketSink {
public:
    void send(const DevicePacket& p) override {
        if (p.code() == CMD_AC_SENDIMG && p.length() == 2)
            groups.emplace_back(p.u8(8), p.u8(9));
        else if (p.code() == CMD_AC_SENDIMG_PART && p.length() == 12)
            parts.emplace_back(p.u32(8), p.u32(12), p.u32(16));
        else
            ADD_FAILURE() << "unexpected packet " << p.code();
    }
    void liveFrame(const std::uint8_t*, std::uint32_t size) override { liveSizes.push_back(size); }
    void acImage(const std::uint8_t*, std::uint32_t size) override { acSizes.push_back(size); }
    void firmwareVersion(const QString&) override {}
    void options(std::uint8_t, std::uint8_t, std::uint8_t, std::uint8_t) override {}
    void storedRecord(const std::uint8_t*) override {}
    void acNextStep() override {}
    void mcDone() override {}
    void mcPatternEnd(int, int) override {}
    void mcInputPoints(const std::uint8_t*) override {}

    std::vector<std::pair<int, int>> groups;
    std::vector<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>> parts;
    std::vector<std::uint32_t> liveSizes;
    std::vector<std::uint32_t> acSizes;
};

DevicePacket block(std::uint32_t code, std::uint32_t index, std::uint8_t fill, std::uint32_t length = 504,
                   std::uint32_t size = 921600) {
    DevicePacket p;
    p.setCode(code);
    p.setLength(length);
    p.setU32(8, index);
    p.setU32(12, size);
    for (int i = 16; i < DevicePacket::size; ++i)
        p.setU8(i, fill);
    return p;
}

DevicePacket end(std::uint32_t code) {
    return DevicePacket::make(code);
}

class ImageReassemblyTest : public ::testing::Test {
protected:
    RecordingHost host;
    ImageReassembly images{host, host};

    void sendGroup(int group, const std::vector<int>& lost) {
        for (int b = 24 * group; b < 24 * group + 24; ++b) {
            if (std::find(lost.begin(), lost.end(), b - 24 * group) == lost.end())
                images.onAcPacket(block(DAT_AC_IMAGE, static_cast<std::uint32_t>(b), 1), DevicePacket::size);
        }
        images.onAcPacket(end(DAT_AC_IMGEND), DevicePacket::size);
    }
};

} // namespace

TEST_F(ImageReassemblyTest, LostBlocksOfAGroupBecomeRanges) {
    images.startAcImage(101, 3);
    sendGroup(3, {5, 6, 20});
    using R = ImageReassembly::Range;
    EXPECT_EQ(images.ranges(), (std::vector<R>{{77, 78}, {92, 92}}));
    ASSERT_EQ(host.parts.size(), 1u);
    EXPECT_EQ(host.parts[0], std::make_tuple(101u, 77u, 78u));

    for (std::uint32_t b : {77u, 78u})
        images.onAcPacket(block(DAT_AC_IMAGE_PART, b, 2), DevicePacket::size);
    images.onAcPacket(end(DAT_AC_PART_END), DevicePacket::size);
    ASSERT_EQ(host.parts.size(), 2u);
    EXPECT_EQ(host.parts[1], std::make_tuple(101u, 92u, 92u));
    images.onAcPacket(block(DAT_AC_IMAGE_PART, 92, 2), DevicePacket::size);
    images.onAcPacket(end(DAT_AC_PART_END), DevicePacket::size);
    ASSERT_EQ(host.groups.size(), 1u);
    EXPECT_EQ(host.groups[0], std::make_pair(101, 4));
}

TEST_F(ImageReassemblyTest, RangesSplitAtGroupBoundaries) {
    images.startAcImage(101, 0);
    images.collectMissingRanges(20, 50);
    using R = ImageReassembly::Range;
    EXPECT_EQ(images.ranges(), (std::vector<R>{{20, 23}, {24, 47}, {48, 49}}));
    // Indices beyond the tracked blocks are never asked for.
    images.collectMissingRanges(1910, 1944);
    EXPECT_EQ(images.ranges(), (std::vector<R>{{1910, 1919}}));
}

TEST_F(ImageReassemblyTest, StillMissingAfterPartsStartsOverFromTheFirstRange) {
    images.startAcImage(102, 0);
    sendGroup(0, {1, 10});
    images.onAcPacket(end(DAT_AC_PART_END), DevicePacket::size); // block 1 lost again
    images.onAcPacket(block(DAT_AC_IMAGE_PART, 10, 2), DevicePacket::size);
    images.onAcPacket(end(DAT_AC_PART_END), DevicePacket::size);
    ASSERT_EQ(host.parts.size(), 3u);
    EXPECT_EQ(host.parts[2], std::make_tuple(102u, 1u, 1u));
    EXPECT_TRUE(host.groups.empty());
}

TEST_F(ImageReassemblyTest, SizeZeroReportsTheDefaultImageSize) {
    images.startAcImage(103, 0);
    images.onAcPacket(block(DAT_AC_IMAGE, 0, 1, 504, 0), DevicePacket::size);
    images.startAcImage(103, 80);
    images.onAcPacket(end(DAT_AC_IMGEND), DevicePacket::size);
    EXPECT_EQ(host.acSizes, std::vector<std::uint32_t>{921600});
}

TEST_F(ImageReassemblyTest, DamagedBlocksCopyNothingAndCountAsMissing) {
    images.startAcImage(101, 0);
    const std::vector<std::uint8_t> before = images.frame();
    images.onAcPacket(block(DAT_AC_IMAGE, 0, 9, 7), DevicePacket::size);          // length below 8
    images.onAcPacket(block(DAT_AC_IMAGE, 1, 9, 505), DevicePacket::size);        // beyond the packet
    images.onAcPacket(block(DAT_AC_IMAGE, 2, 9, 0xFFFFFFFF), DevicePacket::size); // wraps
    images.onAcPacket(block(DAT_AC_IMAGE, 3, 9), 100);                            // short read
    images.onAcPacket(block(DAT_AC_IMAGE, 0xFFFFFFFF, 9), DevicePacket::size);    // far outside
    images.onAcPacket(block(DAT_AC_IMAGE, 7679, 9), DevicePacket::size);          // last group, tail
    images.onAcPacket(block(DAT_AC_IMAGE_PART, 4, 9), DevicePacket::size);        // no range yet
    EXPECT_TRUE(images.frame() == before);
    for (std::uint32_t b = 0; b < 5; ++b)
        EXPECT_FALSE(images.blockDone(b)) << b;

    // A block just inside the buffer is placed but, beyond block 1919, never counted.
    images.onAcPacket(block(DAT_AC_IMAGE, 7678, 9, 8 + 16), DevicePacket::size);
    EXPECT_EQ(images.frame()[319 * 11520 + 22 * 496], 9);
    EXPECT_EQ(images.frame()[319 * 11520 + 22 * 496 + 16], 0);
}

TEST_F(ImageReassemblyTest, BlockPlacement) {
    images.startAcImage(101, 0);
    images.onAcPacket(block(DAT_AC_IMAGE, 23, 5, 8 + 112), DevicePacket::size);
    images.onAcPacket(block(DAT_AC_IMAGE, 24, 6, 8 + 496), DevicePacket::size);
    EXPECT_EQ(images.frame()[11408], 5);
    EXPECT_EQ(images.frame()[11519], 5);
    EXPECT_EQ(images.frame()[11520], 6);
    EXPECT_EQ(images.frame()[11520 + 495], 6);
    EXPECT_EQ(images.frame()[11520 + 496], 0);
}

TEST_F(ImageReassemblyTest, LiveFrameEndsOnlyAfterBlocks) {
    images.onLivePacket(end(DAT_LIVE_IMGEND), DevicePacket::size);
    EXPECT_TRUE(host.liveSizes.empty());
    images.postLiveFill();
    images.applyPosted();
    EXPECT_EQ(images.frame()[0], 0xFF);
    images.onLivePacket(block(DAT_LIVE_IMAGE, 0, 7, 504, 230400), DevicePacket::size);
    images.onLivePacket(end(DAT_LIVE_IMGEND), DevicePacket::size);
    EXPECT_EQ(host.liveSizes, std::vector<std::uint32_t>{230400});
    EXPECT_EQ(images.frame()[0], 7);
    EXPECT_EQ(images.frame()[496], 0xFF);
    images.onLivePacket(end(DAT_LIVE_IMGEND), DevicePacket::size);
    EXPECT_EQ(host.liveSizes.size(), 1u);
}

// The frame size is the module's word: a size past the buffer is never handed on to be copied.
TEST_F(ImageReassemblyTest, ImageSizeBeyondTheBufferIsDropped) {
    images.onLivePacket(block(DAT_LIVE_IMAGE, 0, 7, 504, ImageReassembly::frameBufferSize + 1),
                        DevicePacket::size);
    images.onLivePacket(end(DAT_LIVE_IMGEND), DevicePacket::size);
    EXPECT_TRUE(host.liveSizes.empty());
    images.onLivePacket(block(DAT_LIVE_IMAGE, 0, 7, 504, ImageReassembly::frameBufferSize),
                        DevicePacket::size);
    images.onLivePacket(end(DAT_LIVE_IMGEND), DevicePacket::size);
    EXPECT_EQ(host.liveSizes, std::vector<std::uint32_t>{ImageReassembly::frameBufferSize});
}

TEST_F(ImageReassemblyTest, PostedImageStartResetsOnTheFeedingThread) {
    images.startAcImage(101, 0);
    images.onAcPacket(block(DAT_AC_IMAGE, 0, 3), DevicePacket::size);
    images.postAcImageStart(102, 0);
    EXPECT_TRUE(images.blockDone(0)); // nothing changes until the feeding thread applies it
    images.applyPosted();
    EXPECT_FALSE(images.blockDone(0));
    EXPECT_EQ(images.frame()[0], 0);
    EXPECT_EQ(images.group(), 0);
}

// A block that never comes is asked for a bounded number of rounds, then the transfer stops asking.
TEST_F(ImageReassemblyTest, PartRequestsForABlockThatNeverComesAreBounded) {
    images.startAcImage(103, 0);
    sendGroup(0, {5});
    for (int round = 0; round < 100 && images.acTransferActive(); ++round)
        images.onAcPacket(end(DAT_AC_PART_END), DevicePacket::size);
    EXPECT_FALSE(images.acTransferActive());
    EXPECT_EQ(host.parts.size(), static_cast<std::size_t>(ImageReassembly::maxPartRounds + 1));
    const std::size_t asked = host.parts.size();
    images.onAcPacket(end(DAT_AC_PART_END), DevicePacket::size);
    images.onAcPacket(end(DAT_AC_IMGEND), DevicePacket::size);
    EXPECT_EQ(host.parts.size(), asked);
    EXPECT_TRUE(host.acSizes.empty());
}

// The flow ended (window closed, module lost): answers still on their way ask for nothing more,
// and the next image starts afresh.
TEST_F(ImageReassemblyTest, CancelStopsGroupAndPartRequests) {
    images.startAcImage(101, 0);
    sendGroup(0, {3});
    ASSERT_EQ(host.parts.size(), 1u);
    images.postAcCancel();
    images.applyPosted();
    images.onAcPacket(end(DAT_AC_PART_END), DevicePacket::size);
    sendGroup(0, {});
    EXPECT_EQ(host.parts.size(), 1u);
    EXPECT_TRUE(host.groups.empty());

    images.postAcImageStart(102, 0);
    images.applyPosted();
    sendGroup(0, {});
    ASSERT_EQ(host.groups.size(), 1u);
    EXPECT_EQ(host.groups[0], std::make_pair(102, 1));
}
