#pragma once

// Fault modes of the simulated module. Each has a value: a probability (0..1) for the random ones,
// drawn from the module's seeded generator, milliseconds for the latency, a count for claim
// failures, and non-zero = on for the others.
enum class SimFault {
    BlockLoss,         // each image block is lost with this probability
    LoseGroupEnd,      // each DAT_AC_IMGEND is lost with this probability
    LosePartEnd,       // each DAT_AC_PART_END is lost with this probability
    LatencyMs,         // delay before each request is answered (one round trip)
    Unplug,            // each request makes the module drop off the bus with this probability
    HidMissing,        // the 0xFF00 HID collection is not enumerated
    DescriptorFailure, // the descriptor of the first device on the bus (not a module) cannot be read
    ClaimFailure,      // claiming interface 2 fails on this many modules, in bus order
    SecondModule,      // a second module with the same ids is on the bus
    Malformed,         // before each answer, a malformed packet is sent with this probability
    Nak,               // each request is refused with RES_NAK with this probability
    InitFailure,       // the USB library fails to start
    EndlessLiveFrame,  // a live frame never ends: blocks keep coming
    StopsAnswering,    // requests are taken and counted but nothing more is ever sent (hung firmware)
    StopsAnsweringAt,  // StopsAnswering from the first request whose code is the value
    CaptureMs,         // a capture takes this long (not pacing-scaled) before it is kept and answered
    OpenDenied,        // opening a module is refused as for a user without permission
};
