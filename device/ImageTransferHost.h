#pragma once

#include <cstdint>

// What the image reassembly needs from the device link: the block requests it sends and the
// reports of completed images. Called on the thread that feeds the reassembly.
class ImageTransferHost {
public:
    virtual ~ImageTransferHost() = default;

    virtual void sendImageRequest(std::uint8_t imageId, std::uint8_t group) = 0;
    virtual void sendPartRequest(std::uint32_t imageId, std::uint32_t firstBlock,
                                 std::uint32_t lastBlock) = 0;
    // A live frame ended; the host flushes the register queue and then reports the frame.
    virtual void liveFrameComplete(const std::uint8_t* frame, std::uint32_t size) = 0;
    virtual void acImageComplete(const std::uint8_t* image, std::uint32_t size) = 0;
};
