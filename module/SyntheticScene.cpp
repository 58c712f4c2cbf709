#include "module/SyntheticScene.h"

#include <algorithm>

void SyntheticScene::captureCalibration(Capture kind, const Sensor& sensor, std::uint8_t* out) {
    render(kind, sensor, calibWidth, calibHeight, out);
}

void SyntheticScene::captureLive(const Sensor& sensor, std::uint8_t* out) {
    render(Capture::White, sensor, liveWidth, liveHeight, out);
}

void SyntheticScene::render(Capture kind, const Sensor& sensor, int width, int height, std::uint8_t* out) {
    // The screen covers the middle three quarters of the camera's view.
    const int left = width / 8, right = width - width / 8;
    const int top = height / 8, bottom = height - height / 8;
    const int screen = kind == Capture::Black ? 30 : 200;
    const double gain = std::clamp(static_cast<double>(sensor.gain) / 64.0, 0.0, 4.0);
    const int cellW = (right - left) / 5, cellH = (bottom - top) / 4;
    const int radius = std::min(cellW, cellH) / 6;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int v = 10 + (40 * x) / width + (20 * y) / height;
            if (x >= left && x < right && y >= top && y < bottom) {
                v = screen;
                if (kind == Capture::Pattern) {
                    const int cx = left + ((x - left) / cellW) * cellW + cellW / 2;
                    const int cy = top + ((y - top) / cellH) * cellH + cellH / 2;
                    if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius)
                        v = 25;
                }
            }
            out[y * width + x] = static_cast<std::uint8_t>(std::clamp(static_cast<int>(v * gain), 0, 255));
        }
    }
}
