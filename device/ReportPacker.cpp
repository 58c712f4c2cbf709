#include "device/ReportPacker.h"

#include "device/StoredTuningRecord.h"

#include <algorithm>
#include <utility>

using Kind = ReceivedReport::Kind;

ReportPacker::ReportPacker(Post poster, std::function<void()> beforeLive)
    : post(std::move(poster))
    , beforeLiveFrame(std::move(beforeLive)) {}

void ReportPacker::pass(Kind kind, const void* data, int size, int length) {
    post({kind, data ? QByteArray(static_cast<const char*>(data), size) : QByteArray(), length});
}

void ReportPacker::firmwareVersion(const QString& text) {
    const QByteArray latin = text.toLatin1();
    pass(Kind::firmwareVersion, latin.constData(), latin.size());
}

void ReportPacker::options(std::uint8_t ceiling, std::uint8_t rear, std::uint8_t finger, std::uint8_t lens) {
    const std::uint8_t bytes[4] = {ceiling, rear, finger, lens};
    pass(Kind::options, bytes, 4);
}

void ReportPacker::storedRecord(const std::uint8_t* bytes400) {
    pass(Kind::storedRecord, bytes400, StoredTuningRecord::size);
}

void ReportPacker::acNextStep() {
    pass(Kind::acNextStep);
}

void ReportPacker::mcDone() {
    pass(Kind::mcDone);
}

void ReportPacker::mcPatternEnd(int target, int length) {
    // The pointer the GUI side hands on reaches one 4-byte value: a longer length field (a module
    // may send any) must not make a slot read past it, e.g. as the 200 bytes of the touched points.
    pass(Kind::mcPatternEnd, &target, sizeof target, std::clamp(length, 0, static_cast<int>(sizeof target)));
}

void ReportPacker::mcInputPoints(const std::uint8_t* bytes200) {
    pass(Kind::mcInputPoints, bytes200, inputPointBytes);
}

void ReportPacker::liveFrame(const std::uint8_t* frame, std::uint32_t size) {
    if (beforeLiveFrame)
        beforeLiveFrame();
    pass(Kind::liveFrame, frame, static_cast<int>(size));
}

void ReportPacker::acImage(const std::uint8_t* image, std::uint32_t size) {
    pass(Kind::acImage, image, static_cast<int>(size));
}
