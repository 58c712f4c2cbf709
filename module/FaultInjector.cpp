#include "module/FaultInjector.h"

void FaultInjector::set(SimFault fault, double value) {
    std::lock_guard<std::mutex> l(lock);
    faults[fault] = value;
}

void FaultInjector::clear() {
    std::lock_guard<std::mutex> l(lock);
    faults.clear();
}

void FaultInjector::seed(std::uint32_t seed) {
    std::lock_guard<std::mutex> l(lock);
    rng.seed(seed);
}

double FaultInjector::value(SimFault fault) const {
    std::lock_guard<std::mutex> l(lock);
    const auto it = faults.find(fault);
    return it == faults.end() ? 0.0 : it->second;
}

bool FaultInjector::chance(SimFault fault) {
    std::lock_guard<std::mutex> l(lock);
    const auto it = faults.find(fault);
    if (it == faults.end() || it->second <= 0.0)
        return false;
    return std::uniform_real_distribution<double>(0.0, 1.0)(rng) < it->second;
}

std::uint32_t FaultInjector::draw(std::uint32_t lo, std::uint32_t hi) {
    std::lock_guard<std::mutex> l(lock);
    return std::uniform_int_distribution<std::uint32_t>(lo, hi)(rng);
}
