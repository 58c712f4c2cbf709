#pragma once

#include <atomic>
#include <bitset>
#include <cstdint>
#include <utility>
#include <vector>

class DevicePacket;
class PacketSender;
class PacketSink;

// Reassembles live frames and auto-calibration images from image blocks into frameBuffer, and
// drives the group-by-group fetch of calibration images with re-requests of missing ranges.
//
// Thread confinement: every member except the post* operations is used only by the thread that
// feeds packets (the receive thread). The GUI thread's resets (0xFF fill before a live frame, the
// start of a calibration image) are posted through atomics and applied on the feeding thread
// before its next packet, so frameBuffer and the transfer state have a single writer.
class ImageReassembly {
public:
    static constexpr std::uint32_t frameBufferSize = 3686400;
    static constexpr int blocksPerGroup = 24;
    static constexpr int groupCount = 80;
    static constexpr int acBlockCount = blocksPerGroup * groupCount; // 1920
    static constexpr std::uint32_t groupBytes = 11520;
    static constexpr std::uint32_t blockBytes = 496;
    static constexpr std::uint32_t defaultAcImageSize = 921600; // 1280 x 720
    static constexpr std::uint32_t liveImageSize = 230400;      // 640 x 360
    // Rounds of part requests for one group before the transfer gives up on blocks that never come.
    static constexpr int maxPartRounds = 16;
    using Range = std::pair<std::uint32_t, std::uint32_t>; // first, last block index, inclusive

    // Block requests go out through the sender; completed images go to the sink.
    ImageReassembly(PacketSender& requests, PacketSink& completed);

    // Thread-safe posts from the GUI thread.
    void postLiveFill();
    void postAcImageStart(std::uint8_t imageId, std::uint8_t group);
    // The flow that asked for the image has ended: no further group or part requests.
    void postAcCancel();

    // Feeding thread: apply posted resets, then handle one packet and the bytes its read returned.
    void applyPosted();
    void onLivePacket(const DevicePacket& packet, int bytesRead);
    void onAcPacket(const DevicePacket& packet, int bytesRead);

    // Feeding thread: the transfer steps, also used directly by tests and the fuzzer.
    void startAcImage(std::uint8_t imageId, std::uint8_t group);
    void fillForLiveFrame();
    void requestImagePart();
    void collectMissingRanges(std::uint32_t from, std::uint32_t to);

    const std::vector<std::uint8_t>& frame() const { return frameBuffer; }
    const std::vector<Range>& ranges() const { return missingRanges; }
    std::size_t cursor() const { return rangeCursor; }
    int group() const { return groupIndex; }
    bool acTransferActive() const { return acActive; }
    bool blockDone(std::uint32_t block) const { return block < acBlockCount && blockReceived[block]; }

private:
    // Copies an image block into frameBuffer when it is well formed and lands inside the buffer.
    bool placeBlock(const DevicePacket& packet, std::uint32_t block);
    void markReceived(std::uint32_t block);
    void advanceGroup();

    // Hands a completed image on; a size beyond the buffer (the module's word) is dropped.
    void complete(bool live, std::uint32_t size);

    PacketSender& requests;
    PacketSink& completed;
    std::vector<std::uint8_t> frameBuffer;
    std::bitset<acBlockCount> blockReceived;
    std::vector<Range> missingRanges;
    std::size_t rangeCursor = 0;
    std::uint8_t acImageId = 0;
    int groupIndex = 0;
    std::uint32_t liveFrameSize = 0;
    int liveBlockCount = 0;
    std::uint32_t acFrameSize = 0;
    bool acActive = false; // a calibration image is being fetched
    int partRounds = 0;    // part-request rounds for the current group

    // Posted from the GUI thread: a live fill request, and an image start (bit 16 set, id, group).
    std::atomic<bool> liveFillPosted{false};
    std::atomic<std::uint32_t> acStartPosted{0};
    std::atomic<bool> acCancelPosted{false};
};
