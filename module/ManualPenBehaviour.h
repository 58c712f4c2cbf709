#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

// How the pen behaves during manual calibration on the simulated module: what the module answers,
// and after which delay, when a target starts, and which camera positions it reports at the end.
// Called on the module's thread.
class ManualPenBehaviour {
public:
    struct Event {
        Event(int delay, std::uint32_t eventCode, std::uint32_t eventValue)
            : delayMs(delay)
            , code(eventCode)
            , value(eventValue) {}

        int delayMs = 0; // after the target start
        std::uint32_t code = 0;
        std::uint32_t value = 0;
        bool scaled = true; // the delay shrinks with the pacing scale (a person's timing does not)
        // When set, the event waits past its delay while this answers true (a person holding the pen
        // until the window's ring completes), at most holdLimitMs more. Called on the module's thread.
        std::function<bool()> holdWhile;
        int holdLimitMs = 5000;
    };

    virtual ~ManualPenBehaviour() = default;
    virtual std::vector<Event> patternStarted(int target) = 0;
    // 25 camera positions (x, y) of the touched targets.
    virtual std::array<float, 50> inputPoints() = 0;
};
