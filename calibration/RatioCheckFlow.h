#pragma once

#include "calibration/CalibrationFlow.h"

#include <QPoint>
#include <atomic>

// The end of a run whose record went to the module. The module's answer decides: the automatic
// answer starts the coordinate-ratio check, in which the module injects two touches at known
// device points and the x/y ratio is corrected from where they reach the screen; the touch phase's
// answer ends the run at once. Both end with a Done outcome.
class RatioCheckFlow : public CalibrationFlow {
public:
    enum State {
        Idle = idle,
        RecordSent = 15, // the record went to the module, its answer is awaited
        RatioCheck = 16, // an injected touch is awaited
    };

    RatioCheckFlow(FlowHost& host, const FlowLimits& limits);

    void awaitAnswer();
    void moduleStepped() override;
    void targetOrPoints(const int* buf, int len) override;
    // A touch of the check reached the window at global screen coordinates.
    void touchArrived(int x, int y);
    // No touch in time: no correction is sent and the run ends normally.
    void touchTimedOut();

    // While true the calibration window (which borrows it) reports the next touch release instead
    // of delivering it, and clears it when it does. Set when a touch is injected; cleared by the
    // controller whenever a run ends.
    std::atomic<bool> touchCaptureArmed{false};

protected:
    void timedOut() override;

private:
    void sendTouch(int index);
    void correctRatio();

    int touchIndex = 0;
    QPoint measured[2];
};
