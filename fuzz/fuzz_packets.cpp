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
#include "device/PacketDispatcher.h"
#include "device/PacketSender.h"
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
    // The reassembly promises a size within its buffer: reading all of it proves the promise.
    void liveFrame(const std::uint8_t* frame, std::uint32_t size) override { checksum += sum(frame, size); }
    void acImage(const std::uint8_t* image, std::uint32_t size) override { checksum += sum(image, size); }
    unsigned checksum = 0;
};

class CheckingSender : public PacketSender {
public:
    void send(const DevicePacket& packet) override { checksum += packet.code() + packet.u32(8); }
    unsigned checksum = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static CheckingSender host;
    static CheckingSink sink;
    // 3.6 MB: made once; its state carries over between inputs like a long session.
    static ImageReassembly images(host, sink);
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
