#pragma once

#include "module/SimFault.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <random>

// The simulated module's fault switches and the seeded generator that decides the random ones.
// Thread-safe: the module's thread draws while tests switch faults.
class FaultInjector {
public:
    void set(SimFault fault, double value);
    void clear();
    void seed(std::uint32_t seed);

    // The fault's value; 0 when it is off.
    double value(SimFault fault) const;
    // True with the fault's probability.
    bool chance(SimFault fault);
    // A uniform draw from lo..hi, inclusive.
    std::uint32_t draw(std::uint32_t lo, std::uint32_t hi);

private:
    mutable std::mutex lock; // guards faults and rng
    std::map<SimFault, double> faults;
    std::mt19937 rng{12345};
};
