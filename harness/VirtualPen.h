#pragma once

#include "harness/VirtualRig.h"
#include "module/ManualPenBehaviour.h"

#include <atomic>
#include <functional>
#include <memory>
#include <random>
#include <set>

// An automatic user for the touch phases: after each target start it touches the target, rests
// at least restMs and, like a person watching the ring, until the window's ring has completed, then
// lifts; the module records where its camera saw the pen tip.
// The module numbers its slotPoints by the tool's target number. Options make the user lift early,
// touch the wrong spot or shake.
class VirtualPen : public ManualPenBehaviour {
public:
    // The physical screen position of the tool's target number t (pixels of the covered display).
    using TargetLocator = std::function<bool(int target, double& x, double& y)>;

    struct Options {
        int seenAfterMs = 40;        // pen down and seen after the target appears
        int restMs = 650;            // pen held down; the window's ring completes after about 240 ms
        int earlyLiftMs = 100;       // how long an early lift rests
        std::set<int> liftEarlyOnce; // targets lifted early the first time they are shown
        int wrongSpotTarget = -1;    // this target is touched 60 pixels off, every time
        double jitterPixels = 0.0;   // screen pixels, uniformly in a square
        std::uint32_t seed = 7;
    };

    VirtualPen(const VirtualRig& rig, TargetLocator locator);
    VirtualPen(const VirtualRig& rig, TargetLocator locator, const Options& options);

    std::vector<Event> patternStarted(int target) override;
    std::array<float, 50> inputPoints() override;

    // How often each target was started (tests use it to see re-arming).
    int startsOf(int target) const;

    // Called when the window's ring completes (any thread, also after the pen is gone): the pen on
    // the current target may lift.
    std::function<void()> ringWatcher() const;

private:
    VirtualRig rig;
    TargetLocator locate;
    Options options;
    std::mt19937 rng;
    std::array<float, 50> slotPoints{};
    std::array<int, 25> starts{};
    std::shared_ptr<std::atomic<int>> rings = std::make_shared<std::atomic<int>>(0); // completed rings
};
