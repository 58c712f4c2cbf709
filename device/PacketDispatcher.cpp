#include "device/PacketDispatcher.h"

#include "device/DevicePacket.h"
#include "device/ImageReassembly.h"
#include "device/PacketCodes.h"
#include "device/PacketSink.h"
#include "device/PacketTrace.h"
#include "device/TargetCounts.h"

#include <algorithm>
#include <cstdio>

PacketDispatcher::PacketDispatcher(PacketSink& packetSink, ImageReassembly& reassembly)
    : sink(packetSink)
    , images(reassembly) {}

void PacketDispatcher::dispatch(const DevicePacket& p, int bytesRead) {
    images.applyPosted();
    switch (p.code()) {
    case DAT_VERSION: {
        char text[16];
        std::snprintf(text, sizeof text, "%d.%02d", p.u8(8), p.u8(9));
        sink.firmwareVersion(QString::fromLatin1(text));
        break;
    }
    case DAT_LIVE_IMAGE:
    case DAT_LIVE_IMGEND:
        images.onLivePacket(p, bytesRead);
        break;
    case DAT_AC_IMAGE:
    case DAT_AC_IMGEND:
    case DAT_AC_IMAGE_PART:
    case DAT_AC_PART_END:
        images.onAcPacket(p, bytesRead);
        break;
    case RES_AC_BLACK_END:
    case RES_AC_WHITE_END:
    case RES_AC_PATTERN_END:
    case RES_AC_READY_END:
        sink.acNextStep();
        logPacketTrace(p);
        break;
    case RES_MC_PATTERN_DONE:
        logPacketTrace(p);
        sink.mcDone();
        break;
    case RES_MC_PATTERN_END:
        logPacketTrace(p);
        sink.mcPatternEnd(static_cast<int>(p.u32(8)), static_cast<int>(p.length()));
        break;
    case DAT_OPTION:
        if (p.length() == 4)
            sink.options(p.u8(8), p.u8(9), p.u8(10), p.u8(11));
        break;
    case DAT_EEPROM:
        logPacketTrace(p);
        sink.storedRecord(p.data() + DevicePacket::headerSize);
        break;
    case DAT_MC_INPUT_POINT:
        if (p.length() == 200) {
            sink.mcInputPoints(p.data() + DevicePacket::headerSize);
            traceInputPoints(p);
        }
        break;
    case CMD_IIC_RD:
    case UNNAMED_1111:
        break;
    default:
        logPacketTrace(p);
        break;
    }
}

void PacketDispatcher::traceInputPoints(const DevicePacket& p) const {
    if (!lcDeviceTrace().isDebugEnabled())
        return;
    const int n =
        std::min(25, std::max(TargetCounts::autoTargetCount.load(), TargetCounts::manualTargetCount.load()));
    for (int i = 0; i < n; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "%d: %.2f, %.2f", i, static_cast<double>(p.f32(8 + 8 * i)),
                      static_cast<double>(p.f32(12 + 8 * i)));
        qCDebug(lcDeviceTrace).noquote() << line;
    }
}
