#include "harness/MousePen.h"

#include "device/PacketCodes.h"
#include "sim/SimulatedModule.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcMousePen, "vexaro.simulation.pen", QtWarningMsg)

namespace {
DevicePacket penEvent(std::uint32_t code, int target) {
    DevicePacket p = DevicePacket::make(code);
    p.setLength(4);
    p.setU32(8, static_cast<std::uint32_t>(target));
    return p;
}
} // namespace

MousePen::MousePen(SimulatedModule& simulatedModule, const VirtualRig& installation)
    : module(simulatedModule)
    , rig(installation) {}

std::vector<ManualPenBehaviour::Event> MousePen::patternStarted(int target) {
    std::lock_guard<std::mutex> l(lock);
    current = target >= 0 && target < 25 ? target : -1;
    // A target start waits for a fresh touch: a pen still counted down from a run that was
    // cancelled while it was pressed must not swallow the first press of this one.
    down = false;
    qCDebug(lcMousePen) << "pen armed on target" << current;
    return {};
}

std::array<float, 50> MousePen::inputPoints() {
    std::lock_guard<std::mutex> l(lock);
    return slotPoints;
}

void MousePen::press(double x, double y) {
    int target = -1;
    {
        std::lock_guard<std::mutex> l(lock);
        double cx = 0.0;
        double cy = 0.0;
        if (current < 0 || down || !rig.penCameraPoint(x, y, cx, cy))
            return;
        down = true;
        target = current;
        slotPoints[static_cast<size_t>(2 * target)] = static_cast<float>(cx);
        slotPoints[static_cast<size_t>(2 * target + 1)] = static_cast<float>(cy);
    }
    qCDebug(lcMousePen) << "pen down on target" << target;
    module.injectPacket(0x83, penEvent(RES_MC_PATTERN_DONE, target));
}

void MousePen::release() {
    int target = -1;
    {
        std::lock_guard<std::mutex> l(lock);
        if (!down)
            return;
        down = false;
        target = current;
    }
    qCDebug(lcMousePen) << "pen up from target" << target;
    module.injectPacket(0x83, penEvent(RES_MC_PATTERN_END, target));
}

void MousePen::touch(double x, double y) {
    double cx = 0.0;
    double cy = 0.0;
    if (!module.isPlugged() || !rig.penCameraPoint(x, y, cx, cy))
        return;
    qCDebug(lcMousePen) << "pen touch at" << x << y;
    module.penTouched(cx, cy);
}
