#pragma once

#include "calibration/CalibrationFlow.h"

// The pen touches targets one after the other: the 16 of manual calibration, or the 20 of the
// pattern after a semi-automatic analysis. The module reports when it sees the pen and when a
// target is finished; at the end it reports where its camera saw the pen, and the fit of those
// points becomes the record. Target input waits for a person and has no time limit; only the wait
// for the module's touched points has one. The flow keeps which target is current and tells the
// window, which only draws it. The run ends with its record sent, or done and not stored when the
// touched points do not fit.
class TouchFlow : public CalibrationFlow {
public:
    enum State {
        Idle = idle,
        TargetInput = 3,    // the person touches the targets
        AwaitingPoints = 4, // the touched points were asked for
        CheckingTouch = 5,  // the points so far were asked for, to judge the last touch
    };

    TouchFlow(FlowHost& host, const FlowLimits& limits);

    // Shows the targets with the pen picture at the first one and arms the module on it.
    void start(bool semiAutomatic);

    void targetOrPoints(const int* buf, int len) override;
    void penSeen() override;
    void ringCompleted() override;
    void stepBack() override;

    // The target the person touches now (the target count once the last one was reached).
    int targetIndex() const { return target; }
    // The ring on the current target completed: the module's next "target finished" moves on
    // rather than repeating the target.
    bool advanceReady() const { return advance; }

protected:
    void sendStopCommands(bool done) override;

private:
    void armFirstTarget();
    void showTarget(int index);
    void targetFinished(int reported);
    void moveOn(int next);
    void touchChecked(const float* moduleSlots);
    void pointsArrived(const float* moduleSlots);
    int targetCount() const;

    int target = 0;
    bool advance = false;
    bool moduleInTargetInput = false; // told to start target input (after the first paint)
};
