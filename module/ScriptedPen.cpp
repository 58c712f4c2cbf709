#include "module/ScriptedPen.h"

#include "device/PacketCodes.h"

std::vector<ManualPenBehaviour::Event> ScriptedPen::patternStarted(int target) {
    const auto t = static_cast<std::uint32_t>(target);
    return {{50, RES_MC_PATTERN_DONE, t}, {100, RES_MC_PATTERN_END, t}};
}

std::array<float, 50> ScriptedPen::inputPoints() {
    std::array<float, 50> points{};
    for (int i = 0; i < 16; ++i) {
        // Target 4c + r is column c, row r: the camera sees the columns side by side, as a camera
        // looking at the screen does.
        points[2 * i] = 240.0f + 266.0f * static_cast<float>(i / 4);
        points[2 * i + 1] = 135.0f + 150.0f * static_cast<float>(i % 4);
    }
    return points;
}
