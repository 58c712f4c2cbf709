#pragma once

#include <QTimer>
#include <functional>

class FlowHost;
struct FlowLimits;

// One calibration flow as a small state machine. Its states are the controller's flow steps (0 is
// idle); a state that waits for the module has a time limit, after which the flow is stopped as the
// user's Escape would stop it and the user sees M14. Events a state does not expect are ignored.
// GUI thread only.
class CalibrationFlow {
public:
    static constexpr int idle = 0;

    CalibrationFlow(FlowHost& host, const FlowLimits& limits);
    virtual ~CalibrationFlow();
    CalibrationFlow(const CalibrationFlow&) = delete;
    CalibrationFlow& operator=(const CalibrationFlow&) = delete;

    int state() const { return current; }
    bool isRunning() const { return current != idle; }
    // The time limit of the current state in milliseconds; 0 when it has none or it is not armed.
    int armedLimitMs() const { return limitTimer.isActive() ? limitTimer.interval() : 0; }

    // Device and window events, each handled by the states that expect it.
    virtual void moduleStepped() {}                                 // capture ended, record taken
    virtual void targetOrPoints(const int* /*buf*/, int /*len*/) {} // target done, points, end
    virtual void penSeen() {}
    virtual void ringCompleted() {}
    virtual void stepBack() {}

    // The window was closed: the commands a close sends in this state, then idle. done: the user
    // confirmed rather than cancelled.
    void stop(bool done);
    // Idle at once, nothing sent (a new start or the end of the run).
    void halt();

protected:
    // Enters a state; limitMs > 0 arms its time limit, 0 means it waits for a person or not at all.
    void enter(int state, int limitMs = 0);
    // Leaves the current state's time limit before a handler acts: its waits for the window spin
    // the event loop, where a limit must not end the run halfway through a step.
    void disarm() { limitTimer.stop(); }
    // Runs next after a pause of milliseconds (scaled as every device pause is), unless the flow
    // leaves its current state first. The window repaints and takes Escape meanwhile.
    void pauseThen(int milliseconds, std::function<void()> next);
    // The flow leaves a state (for another, or idle).
    virtual void leaving(int /*state*/) {}
    // The time limit of the current state passed.
    virtual void timedOut();
    // What closing the window sends to the module in the current state.
    virtual void sendStopCommands(bool /*done*/) {}

    FlowHost& host;
    const FlowLimits& limits; // the controller's, so that a change applies to the next wait

private:
    int current = idle;
    QTimer limitTimer;
    QTimer pauseTimer;
    std::function<void()> resume; // what follows the pending pause
};
