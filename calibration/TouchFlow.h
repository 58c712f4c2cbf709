#pragma once

#include "calibration/CalibrationFlow.h"

// The pen touches targets one after the other: the 16 of manual calibration, or the 20 of the
// pattern after a semi-automatic analysis. The module reports when it sees the pen and when a
// target is finished; at the end it reports where its camera saw the pen, and the fit of those
// points becomes the record. Target input waits for a person and has no time limit; only the wait
// for the module's touched points has one.
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

protected:
    void sendStopCommands(bool done) override;

private:
    void targetFinished(int reported);
    void moveOn(int next);
    void touchChecked(const float* moduleSlots);
    void pointsArrived(const float* moduleSlots);
    int targetCount() const;
};
