#include "device/ImageReassembly.h"

#include "device/CommandPackets.h"
#include "device/DevicePacket.h"
#include "device/PacketCodes.h"
#include "device/PacketSender.h"
#include "device/PacketSink.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cstring>

Q_LOGGING_CATEGORY(lcReassembly, "vexaro.device.reassembly", QtWarningMsg)

namespace {
constexpr std::uint32_t postedFlag = 0x10000;
}

ImageReassembly::ImageReassembly(PacketSender& requestSender, PacketSink& completedSink)
    : requests(requestSender)
    , completed(completedSink)
    , frameBuffer(frameBufferSize, 0) {
    missingRanges.reserve(acBlockCount);
}

void ImageReassembly::postLiveFill() {
    liveFillPosted.store(true);
}

void ImageReassembly::postAcImageStart(std::uint8_t imageId, std::uint8_t group) {
    acStartPosted.store(postedFlag | (static_cast<std::uint32_t>(imageId) << 8) | group);
}

void ImageReassembly::postAcCancel() {
    // A start posted earlier and not yet applied belongs to the cancelled image too.
    acStartPosted.store(0);
    acCancelPosted.store(true);
}

void ImageReassembly::applyPosted() {
    if (liveFillPosted.exchange(false))
        fillForLiveFrame();
    if (acCancelPosted.exchange(false)) {
        acActive = false;
        missingRanges.clear();
        rangeCursor = 0;
    }
    const std::uint32_t start = acStartPosted.exchange(0);
    if (start & postedFlag)
        startAcImage(static_cast<std::uint8_t>(start >> 8), static_cast<std::uint8_t>(start & 0xFF));
}

void ImageReassembly::fillForLiveFrame() {
    std::memset(frameBuffer.data(), 0xFF, frameBuffer.size());
}

void ImageReassembly::startAcImage(std::uint8_t imageId, std::uint8_t group) {
    if (group == 0) {
        blockReceived.reset();
        missingRanges.clear();
        rangeCursor = 0;
    }
    acImageId = imageId;
    groupIndex = group;
    acActive = true;
    partRounds = 0;
    if (group == 0)
        std::memset(frameBuffer.data(), 0, frameBuffer.size());
}

bool ImageReassembly::placeBlock(const DevicePacket& packet, std::uint32_t block) {
    // The length field counts the 8 bytes of index and size; a damaged field copies nothing.
    const std::uint32_t length = packet.length();
    if (length < 8 || length > static_cast<std::uint32_t>(DevicePacket::maxPayload))
        return false;
    const std::uint64_t count = length - 8;
    const std::uint64_t offset = static_cast<std::uint64_t>(block / blocksPerGroup) * groupBytes +
                                 static_cast<std::uint64_t>(block % blocksPerGroup) * blockBytes;
    if (offset + count > frameBuffer.size())
        return false;
    std::memcpy(frameBuffer.data() + offset, packet.data() + 16, static_cast<std::size_t>(count));
    return true;
}

void ImageReassembly::markReceived(std::uint32_t block) {
    if (block < static_cast<std::uint32_t>(acBlockCount))
        blockReceived.set(block);
}

void ImageReassembly::onLivePacket(const DevicePacket& packet, int bytesRead) {
    if (packet.code() == DAT_LIVE_IMAGE) {
        liveFrameSize = packet.u32(12);
        if (bytesRead == DevicePacket::size)
            placeBlock(packet, packet.u32(8));
        ++liveBlockCount;
    } else if (packet.code() == DAT_LIVE_IMGEND) {
        if (liveBlockCount == 0)
            return;
        liveBlockCount = 0;
        complete(true, liveFrameSize);
    }
}

void ImageReassembly::onAcPacket(const DevicePacket& packet, int bytesRead) {
    switch (packet.code()) {
    case DAT_AC_IMAGE: {
        acFrameSize = packet.u32(12);
        const std::uint32_t block = packet.u32(8);
        // A block counts as received only once its bytes are in place, so a damaged or short
        // block is fetched again instead of leaving a hole in the image.
        if (bytesRead == DevicePacket::size && placeBlock(packet, block))
            markReceived(block);
        break;
    }
    case DAT_AC_IMGEND:
        if (!acActive)
            break;
        if (groupIndex >= groupCount) {
            acActive = false;
            complete(false, acFrameSize == 0 ? defaultAcImageSize : acFrameSize);
            break;
        }
        collectMissingRanges(static_cast<std::uint32_t>(blocksPerGroup * groupIndex),
                             static_cast<std::uint32_t>(blocksPerGroup * groupIndex + blocksPerGroup));
        if (missingRanges.empty())
            advanceGroup();
        else
            requestImagePart();
        break;
    case DAT_AC_IMAGE_PART: {
        const std::uint32_t block = packet.u32(8);
        if (rangeCursor < missingRanges.size()) {
            const Range& r = missingRanges[rangeCursor];
            if (block >= r.first && block <= r.second && placeBlock(packet, block))
                markReceived(block);
        }
        break;
    }
    case DAT_AC_PART_END:
        if (!acActive)
            break;
        ++rangeCursor;
        if (rangeCursor < missingRanges.size()) {
            requestImagePart();
            break;
        }
        collectMissingRanges(static_cast<std::uint32_t>(blocksPerGroup * groupIndex),
                             static_cast<std::uint32_t>(blocksPerGroup * groupIndex + blocksPerGroup));
        if (missingRanges.empty()) {
            if (groupIndex < groupCount)
                advanceGroup();
        } else if (++partRounds > maxPartRounds) {
            // Blocks that never come: stop asking (the flow waits until the user closes it).
            acActive = false;
            missingRanges.clear();
        } else {
            rangeCursor = 0;
            requestImagePart();
        }
        break;
    default:
        break;
    }
}

void ImageReassembly::advanceGroup() {
    ++groupIndex;
    startAcImage(acImageId, static_cast<std::uint8_t>(groupIndex));
    requests.send(CommandPackets::imageRequest(acImageId, static_cast<std::uint8_t>(groupIndex)));
}

void ImageReassembly::requestImagePart() {
    if (rangeCursor >= missingRanges.size())
        return;
    const Range& r = missingRanges[rangeCursor];
    requests.send(CommandPackets::partRequest(acImageId, r.first, r.second));
}

void ImageReassembly::collectMissingRanges(std::uint32_t from, std::uint32_t to) {
    missingRanges.clear();
    rangeCursor = 0;
    // Blocks beyond the 1920 tracked ones are never fetched again.
    to = std::min(to, static_cast<std::uint32_t>(acBlockCount));
    bool inRun = false;
    std::uint32_t first = 0;
    for (std::uint32_t b = from; b < to; ++b) {
        if (inRun && b % blocksPerGroup == 0) {
            missingRanges.emplace_back(first, b - 1);
            inRun = false;
        }
        if (!blockReceived[b]) {
            if (!inRun) {
                first = b;
                inRun = true;
            }
        } else if (inRun) {
            missingRanges.emplace_back(first, b - 1);
            inRun = false;
        }
    }
    if (inRun)
        missingRanges.emplace_back(first, to - 1);
}

void ImageReassembly::complete(bool live, std::uint32_t size) {
    if (size > frameBufferSize) {
        qCWarning(lcReassembly) << "Image size beyond the frame buffer dropped:" << size;
        return;
    }
    if (live)
        completed.liveFrame(frameBuffer.data(), size);
    else
        completed.acImage(frameBuffer.data(), size);
}
