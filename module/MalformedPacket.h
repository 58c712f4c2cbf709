#pragma once

#include "module/FaultInjector.h"
#include "module/PacketPipe.h"

// Damaged packets that a sound tool drops without harm: a short read of a block, block length
// fields beyond the packet or shorter than the block header, indices far outside any image, an
// unknown code.
struct MalformedPacket {
    // One damaged packet, drawn with the fault switches' generator, for the live endpoint or the reply one.
    static PacketPipe::Item draw(FaultInjector& faults, bool live);
};
