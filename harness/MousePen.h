#pragma once

#include "harness/VirtualRig.h"
#include "module/ManualPenBehaviour.h"

#include <mutex>

class SimulatedModule;

// The pen of a person at the desk of a --simulate run: the mouse pressed on the calibration window
// is the pen touching the screen there. A press reports the pen seen on the current target and
// records where the module's camera sees the tip; the release reports the target finished.
class MousePen : public ManualPenBehaviour {
public:
    // The module is borrowed; it owns this pen and so outlives it.
    MousePen(SimulatedModule& module, const VirtualRig& rig);

    std::vector<Event> patternStarted(int target) override;
    std::array<float, 50> inputPoints() override;

    // GUI thread: the mouse went down or up at a physical screen point (pixels of the covered display).
    void press(double x, double y);
    void release();
    // GUI thread: the pen touched the screen outside a calibration (the touch test); the module's
    // tracking turns where its camera sees the tip into a touch, if it tracks.
    void touch(double x, double y);

private:
    SimulatedModule& module;
    VirtualRig rig;
    mutable std::mutex lock; // guards current, down and slotPoints
    int current = -1;
    bool down = false;
    std::array<float, 50> slotPoints{};
};
