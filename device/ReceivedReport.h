#pragma once

#include <QByteArray>

// One thing the module said, on its way from the receive thread to the GUI thread. It carries its
// data by value, so the receive thread may reuse its buffers at once.
struct ReceivedReport {
    enum class Kind {
        firmwareVersion, // bytes: the version text
        options,         // bytes: ceiling, rear, finger, lens
        storedRecord,    // bytes: the 400-byte stored tuning block
        acNextStep,
        mcDone,
        mcPatternEnd,  // bytes: the int target; length: the packet's length field, at most 4
        mcInputPoints, // bytes: 25 float32 pairs
        liveFrame,     // bytes: the frame
        acImage,       // bytes: the image
    };

    Kind kind = Kind::acNextStep;
    QByteArray bytes;
    int length = 0;
};
