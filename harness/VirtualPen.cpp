#include "harness/VirtualPen.h"

#include "device/PacketCodes.h"

VirtualPen::VirtualPen(const VirtualRig& installation, TargetLocator locator)
    : VirtualPen(installation, std::move(locator), Options()) {}

VirtualPen::VirtualPen(const VirtualRig& installation, TargetLocator locator, const Options& penOptions)
    : rig(installation)
    , locate(std::move(locator))
    , options(penOptions)
    , rng(penOptions.seed) {}

std::vector<ManualPenBehaviour::Event> VirtualPen::patternStarted(int target) {
    if (target < 0 || target >= 25)
        return {};
    const int start = ++starts[static_cast<size_t>(target)];
    double x = 0.0;
    double y = 0.0;
    if (!locate || !locate(target, x, y))
        return {};
    if (target == options.wrongSpotTarget) {
        x += 60.0;
        y += 60.0;
    }
    if (options.jitterPixels > 0.0) {
        std::uniform_real_distribution<double> shake(-options.jitterPixels, options.jitterPixels);
        x += shake(rng);
        y += shake(rng);
    }
    double cx = 0.0;
    double cy = 0.0;
    if (!rig.penCameraPoint(x, y, cx, cy))
        return {};
    slotPoints[static_cast<size_t>(2 * target)] = static_cast<float>(cx);
    slotPoints[static_cast<size_t>(2 * target + 1)] = static_cast<float>(cy);

    const bool early = start == 1 && options.liftEarlyOnce.count(target) > 0;
    const int rest = early ? options.earlyLiftMs : options.restMs;
    // A person's timing does not shrink with the tool's pauses.
    Event seen{options.seenAfterMs, RES_MC_PATTERN_DONE, static_cast<std::uint32_t>(target)};
    seen.scaled = false;
    Event lifted{options.seenAfterMs + rest, RES_MC_PATTERN_END, static_cast<std::uint32_t>(target)};
    lifted.scaled = false;
    if (!early) {
        // Held until the ring of this touch completes, however late a busy window paints it.
        const int ringsBefore = rings->load();
        lifted.holdWhile = [ringCount = rings, ringsBefore] {
            return ringCount->load() == ringsBefore;
        };
    }
    return {seen, lifted};
}

std::array<float, 50> VirtualPen::inputPoints() {
    return slotPoints;
}

std::function<void()> VirtualPen::ringWatcher() const {
    return [ringCount = rings] {
        ringCount->fetch_add(1);
    };
}

int VirtualPen::startsOf(int target) const {
    return target >= 0 && target < 25 ? starts[static_cast<size_t>(target)] : 0;
}
