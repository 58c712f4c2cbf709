#include "platform/Pacing.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {
std::atomic<double> pacingScale{1.0};
}

void Pacing::pause(int milliseconds) {
    const long long us = scaledMicroseconds(milliseconds);
    if (us > 0)
        std::this_thread::sleep_for(std::chrono::microseconds(us));
}

void Pacing::setScale(double scale) {
    pacingScale.store(scale < 0.0 ? 0.0 : scale);
}

double Pacing::scale() {
    return pacingScale.load();
}

long long Pacing::scaledMicroseconds(int milliseconds) {
    if (milliseconds <= 0)
        return 0;
    return static_cast<long long>(milliseconds * 1000.0 * pacingScale.load());
}
