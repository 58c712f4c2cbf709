// Feeds arbitrary byte streams from the module through the packet dispatch and both image
// reassemblies, cut into reads of arbitrary lengths. No USB and no threads: the protocol classes
// are driven directly.
//
// Stream format, repeated: one control byte, then the bytes of one read.
//   control & 3 == 0: a full 512-byte read
//   control & 3 == 1: a short read of (control >> 2) * 8 bytes
//   control & 3 == 2: a full read; for control 2 exactly, the GUI first asks for a live frame (0xFF fill)
//   control & 3 == 3: the GUI starts calibration image 101 at group (control >> 2) * 2, then a full read
#include "device/DevicePacket.h"
#include "device/ImageReassembly.h"
#include "device/ImageTransferHost.h"
#include "device/PacketDispatcher.h"
#include "device/PacketSink.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// Touches every byte handed out, so reads beyond a buffer show up under the sanitizers.
unsigned sum(const std::uint8_t* p, std::size_t n) {
    unsigned s = 0;
    for (std::size_t i = 0; i < n; ++i)
        s += p[i];
    return s;
}

class CheckingSink : public PacketSink {
public:
    void firmwareVersion(const QString& text) override { checksum += static_cast<unsigned>(text.size()); }
    void options(std::uint8_t c, std::uint8_t r, std::uint8_t f, std::uint8_t l) override {
        checksum += c + r + f + l;
    }
    void storedRecord(const std::uint8_t* bytes400) override { checksum += sum(bytes400, 400); }
    void acNextStep() override { ++checksum; }
    void mcDone() override { ++checksum; }
    void mcPatternEnd(int target, int length) override {
        checksum += static_cast<unsigned>(target) + static_cast<unsigned>(length);
    }
    void mcInputPoints(const std::uint8_t* bytes200) override { checksum += sum(bytes200, 200); }
    unsigned checksum = 0;
};

class CheckingHost : public ImageTransferHost {
public:
    void sendImageRequest(std::uint8_t id, std::uint8_t group) override { checksum += id + group; }
    void sendPartRequest(std::uint32_t id, std::uint32_t first, std::uint32_t last) override {
        checksum += id + first + last;
    }
    // The device link copies min(size, buffer) bytes; the reported size itself is untrusted.
    void liveFrameComplete(const std::uint8_t* frame, std::uint32_t size) override {
        checksum += sum(frame, std::min<std::size_t>(size, ImageReassembly::frameBufferSize) % 4096);
    }
    void acImageComplete(const std::uint8_t* image, std::uint32_t size) override {
        checksum += sum(image, std::min<std::size_t>(size, ImageReassembly::frameBufferSize) % 4096);
    }
    unsigned checksum = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CheckingHost host;
    // 3.6 MB: made once; its state carries over between inputs like a long session.
    static ImageReassembly images(host);
    CheckingSink sink;
    PacketDispatcher dispatcher(sink, images);

    std::size_t at = 0;
    DevicePacket packet;
    while (at < size) {
        const std::uint8_t control = data[at++];
        int readLength = DevicePacket::size;
        switch (control & 3) {
        case 1:
            readLength = (control >> 2) * 8;
            break;
        case 2:
            images.postLiveFill();
            break;
        case 3:
            images.postAcImageStart(101, static_cast<std::uint8_t>((control >> 2) * 2));
            break;
        default:
            break;
        }
        packet.clear();
        const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(readLength), size - at);
        std::memcpy(packet.data(), data + at, n);
        at += n;
        dispatcher.dispatch(packet, readLength);
    }
    return static_cast<int>((sink.checksum + host.checksum) & 0);
}
