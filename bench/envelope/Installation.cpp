#include "Installation.h"

#include <algorithm>
#include <cmath>

namespace {

const int sizes[][2] = {{1024, 768},  {1280, 720},  {1280, 800},  {1366, 768},  {1440, 900},  {1600, 900},
                        {1680, 1050}, {1920, 1080}, {1920, 1200}, {2560, 1440}, {2560, 1600}, {3840, 2160}};

} // namespace

Installation Installation::draw(std::mt19937& random) {
    auto uniform = [&](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(random);
    };
    Installation s;
    const auto& size = sizes[std::uniform_int_distribution<int>(0, 11)(random)];
    s.width = size[0];
    s.height = size[1];
    s.lens = static_cast<eLens>(std::uniform_int_distribution<int>(1, 4)(random));
    s.fwMinor = uniform(0, 1) < 0.5 ? 8 : 12;
    s.ceiling = uniform(0, 1) < 0.5;
    s.rear = uniform(0, 1) < 0.5;
    s.pose.fill = uniform(0.62, 0.9);
    s.pose.keystone = uniform(0.0, 0.15);
    s.pose.rollDegrees = uniform(-10.0, 10.0);
    s.pose.shiftX = uniform(-30.0, 30.0);
    s.pose.shiftY = uniform(-20.0, 20.0);
    s.pose.distortionScale = uniform(0.85, 1.15);
    s.pose.centreShiftX = uniform(-10.0, 10.0);
    s.pose.centreShiftY = uniform(-10.0, 10.0);
    // Contrast log-uniform from 10 to 180 levels: the dim end is where rooms differ.
    s.contrast = 10.0 * std::exp(uniform(0.0, std::log(18.0)));
    s.ambientShare = uniform(0.0, 0.4);
    double black = uniform(2.0, 25.0);
    double white = black + s.contrast;
    double ambient = s.ambientShare * white;
    s.light.vignetting = uniform(0.0, 0.5);
    s.light.hotSpot = uniform(0.0, 0.35);
    s.light.hotSpotX = uniform(400.0, 880.0);
    s.light.hotSpotY = uniform(200.0, 520.0);
    s.light.hotSpotRadius = uniform(150.0, 400.0);
    // Keep the brightest pixel below saturation.
    const double peak = ambient + white * (1.0 + s.light.hotSpot) * 1.04;
    if (peak > 250.0) {
        const double scale = 250.0 / peak;
        black *= scale;
        white = black + s.contrast;
        ambient = s.ambientShare * white;
    }
    s.light.black = black;
    s.light.white = white;
    s.light.ambient = ambient;
    s.light.noiseSigma = uniform(0.0, 5.0);
    s.light.blurSigma = uniform(0.3, 2.0);
    s.drift = uniform(0.0, 0.04);
    s.covered = uniform(0, 1) < 0.5 ? std::uniform_int_distribution<int>(0, 19)(random) : -1;
    return s;
}
