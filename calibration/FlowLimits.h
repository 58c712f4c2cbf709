#pragma once

// How long a calibration flow waits for the module in each kind of waiting state before it gives
// up (window hidden, the module stopped as if the user had pressed Escape, M14). Each limit is far
// above what a working module needs, so only a module that stopped answering reaches it. Tests
// inject short limits; nothing else changes them.
struct FlowLimits {
    // The module exposes one frame after the screen colour is up and answers within a few frames
    // (the simulated module within milliseconds); allow for a slow auto exposure many times over.
    static constexpr int defaultCaptureMs = 10000;
    // One 1280 x 720 image is 1920 blocks in 80 groups: under a second at full speed, a few
    // seconds with lost blocks re-requested; thirty seconds means the transfer has stalled.
    static constexpr int defaultImageTransferMs = 30000;
    // Storing the record or reporting the 25 touched points is one short exchange.
    static constexpr int defaultModuleReplyMs = 10000;
    // An injected touch of the ratio check reaches the window within a few frames; without it the
    // check ends normally with no correction (the record is already stored).
    static constexpr int defaultRatioTouchMs = 1000;

    // The analysis of the three images takes well under a second; its fit gives up on its own after
    // a few seconds. A minute means the machine is far too busy to finish it.
    static constexpr int defaultAnalysisMs = 60000;

    int captureMs = defaultCaptureMs;
    int imageTransferMs = defaultImageTransferMs;
    int moduleReplyMs = defaultModuleReplyMs;
    int ratioTouchMs = defaultRatioTouchMs;
    int analysisMs = defaultAnalysisMs;
};
