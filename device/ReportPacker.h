#pragma once

#include "device/PacketSink.h"
#include "device/ReceivedReport.h"

#include <functional>

// Packs what the dispatch delivers on the receive thread into ReceivedReport values, copying the
// bytes out of the packet buffer at once, and passes each one on (to the GUI-thread hand-over).
class ReportPacker : public PacketSink {
public:
    using Post = std::function<void(ReceivedReport)>;
    static constexpr int inputPointBytes = 200;

    // beforeLiveFrame runs on the receive thread as each live frame ends, before it is passed on.
    explicit ReportPacker(Post post, std::function<void()> beforeLiveFrame = {});

    void firmwareVersion(const QString& text) override;
    void options(std::uint8_t ceiling, std::uint8_t rear, std::uint8_t finger, std::uint8_t lens) override;
    void storedRecord(const std::uint8_t* bytes400) override;
    void acNextStep() override;
    void mcDone() override;
    void mcPatternEnd(int target, int length) override;
    void mcInputPoints(const std::uint8_t* bytes200) override;
    void liveFrame(const std::uint8_t* frame, std::uint32_t size) override;
    void acImage(const std::uint8_t* image, std::uint32_t size) override;

private:
    void pass(ReceivedReport::Kind kind, const void* data = nullptr, int size = 0, int length = 0);

    Post post;
    std::function<void()> beforeLiveFrame;
};
