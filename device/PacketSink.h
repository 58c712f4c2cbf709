#pragma once

#include <QString>
#include <cstdint>

// Where the dispatch delivers what the module said, outside of image blocks. Called on the
// receive thread; pointers are valid only during the call.
class PacketSink {
public:
    virtual ~PacketSink() = default;

    virtual void firmwareVersion(const QString& text) = 0;
    virtual void options(std::uint8_t ceiling, std::uint8_t rear, std::uint8_t finger, std::uint8_t lens) = 0;
    virtual void storedRecord(const std::uint8_t* bytes400) = 0;
    virtual void acNextStep() = 0;
    virtual void mcDone() = 0;
    virtual void mcPatternEnd(int target, int length) = 0;
    virtual void mcInputPoints(const std::uint8_t* bytes200) = 0;
    // A whole live frame or calibration image; size is at most the reassembly's buffer.
    virtual void liveFrame(const std::uint8_t* frame, std::uint32_t size) = 0;
    virtual void acImage(const std::uint8_t* image, std::uint32_t size) = 0;
};
