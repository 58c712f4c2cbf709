#pragma once

#include "calibration/FlowOutcome.h"

#include <QTimer>
#include <functional>

class FlowHost;
struct FlowLimits;

// One calibration flow as a small state machine. Its states are the controller's flow steps (0 is
// idle); a state that waits for the module has a time limit, after which the flow ends with a
// TimedOut outcome. A run ends with exactly one outcome, handed to the sink the controller set;
// what follows is the controller's to decide. Events a state does not expect are ignored.
// GUI thread only.
class CalibrationFlow {
public:
    static constexpr int idle = 0;
    using OutcomeSink = std::function<void(const FlowOutcome&)>;

    CalibrationFlow(FlowHost& host, const FlowLimits& limits);
    virtual ~CalibrationFlow();
    CalibrationFlow(const CalibrationFlow&) = delete;
    CalibrationFlow& operator=(const CalibrationFlow&) = delete;

    // Where the flow reports how it ended (set once, by the controller that owns the flow).
    void reportOutcomesTo(OutcomeSink sink) { outcomeSink = std::move(sink); }

    int state() const { return current; }
    bool isRunning() const { return current != idle; }
    // The time limit of the current state in milliseconds; 0 when it has none or it is not armed.
    int armedLimitMs() const { return limitTimer.isActive() ? limitTimer.interval() : 0; }
    // A step waits for the window to show what it was told to paint.
    bool awaitingPaint() const { return static_cast<bool>(afterPaint); }

    // Device and window events, each handled by the states that expect it.
    virtual void moduleStepped() {}                                 // capture ended, record taken
    virtual void targetOrPoints(const int* /*buf*/, int /*len*/) {} // target done, points, end
    virtual void penSeen() {}
    virtual void ringCompleted() {}
    virtual void stepBack() {}
    // The window painted what it was last told to: the step waiting for that goes on.
    void windowPainted();

    // The window was closed: the commands a close sends in this state, then idle. done: the user
    // confirmed rather than cancelled. No outcome: the controller ends the run itself.
    void stop(bool done);
    // Idle at once, nothing sent and no outcome (a new start or the end of the run).
    void halt();

protected:
    // Enters a state; limitMs > 0 arms its time limit, 0 means it waits for a person or not at all.
    void enter(int state, int limitMs = 0);
    // Leaves the current state's time limit before a handler waits for the window's paint, so
    // that the limit of the module's step does not run while the screen changes.
    void disarm() { limitTimer.stop(); }
    // Runs next after a pause of milliseconds (scaled as every device pause is), unless the flow
    // leaves its current state first. The window repaints and takes Escape meanwhile.
    void pauseThen(int milliseconds, std::function<void()> next);
    // Runs next once the window reports its paint, unless the flow leaves its current state first.
    void whenPainted(std::function<void()> next);
    // Idle, then the outcome to the sink; nothing when the flow is already idle, so a run reports
    // one outcome at most.
    void finish(const FlowOutcome& outcome);
    // The flow leaves a state (for another, or idle).
    virtual void leaving(int /*state*/) {}
    // The time limit of the current state passed: the commands a cancel sends, then TimedOut.
    virtual void timedOut();
    // What closing the window sends to the module in the current state.
    virtual void sendStopCommands(bool /*done*/) {}

    FlowHost& host;
    const FlowLimits& limits; // the controller's, so that a change applies to the next wait

private:
    int current = idle;
    QTimer limitTimer;
    QTimer pauseTimer;
    std::function<void()> resume;     // what follows the pending pause
    std::function<void()> afterPaint; // what follows the window's pending paint
    OutcomeSink outcomeSink;
};
