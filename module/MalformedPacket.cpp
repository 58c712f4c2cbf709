#include "module/MalformedPacket.h"

#include "device/ImageReassembly.h"
#include "device/PacketCodes.h"

#include <cstring>

PacketPipe::Item MalformedPacket::draw(FaultInjector& faults, bool live) {
    const int variant = static_cast<int>(faults.draw(0, 4));
    const std::uint32_t index = faults.draw(0, ImageReassembly::acBlockCount - 1);
    const std::uint32_t blockCode = live ? DAT_LIVE_IMAGE : DAT_AC_IMAGE;
    DevicePacket p;
    p.setCode(blockCode);
    p.setU32(8, index);
    p.setU32(12, live ? ImageReassembly::liveImageSize : ImageReassembly::defaultAcImageSize);
    std::memset(p.data() + 16, 0xA5, DevicePacket::size - 16);
    int readLength = DevicePacket::size;
    switch (variant) {
    case 0:
        p.setLength(504);
        readLength = 100;
        break;
    case 1:
        p.setLength(0xFFFFFFF0u);
        break;
    case 2:
        p.setLength(5);
        break;
    case 3:
        p.setLength(504);
        p.setU32(8, 0x80000000u + index);
        break;
    default:
        p.setCode(0x7777);
        p.setLength(600);
        break;
    }
    return {p, readLength};
}
