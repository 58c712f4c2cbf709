// The module's camera fed by any picture of the display (the emulated module photographs the X
// display of another process this way).
#include "harness/ScreenCamera.h"

#include <QColor>
#include <algorithm>
#include <gtest/gtest.h>
#include <numeric>
#include <vector>

namespace {

QImage filledScreen(int width, int height, int grey) {
    QImage screen(width, height, QImage::Format_Grayscale8);
    screen.fill(QColor(grey, grey, grey));
    return screen;
}

double meanOf(const std::vector<std::uint8_t>& frame) {
    return std::accumulate(frame.begin(), frame.end(), 0.0) / static_cast<double>(frame.size());
}

std::vector<std::uint8_t> capture(ScreenCamera& camera) {
    std::vector<std::uint8_t> frame(FrameSource::calibWidth * FrameSource::calibHeight, 0x5A);
    camera.captureCalibration(FrameSource::Capture::White, FrameSource::Sensor(), frame.data());
    return frame;
}

} // namespace

// What the display shows is what the camera sees: a white display gives a far brighter picture than
// a black one, also after the display changed its size between two captures.
TEST(ScreenCameraTest, SeesTheGrabbedDisplayAcrossSizeChanges) {
    QImage shown = filledScreen(1280, 800, 255);
    ScreenCamera camera([&shown] { return shown; }, VirtualRig());
    const double white = meanOf(capture(camera));
    shown = filledScreen(1920, 1080, 0);
    const double black = meanOf(capture(camera));
    shown = filledScreen(1920, 1080, 255);
    const double whiteAgain = meanOf(capture(camera));
    EXPECT_GT(white, black + 50.0);
    EXPECT_GT(whiteAgain, black + 50.0);
}

// A display that does not answer (the grab times out while the program shuts down) is a dark room,
// and every byte of the frame is written.
TEST(ScreenCameraTest, UnansweredGrabGivesTheDarkRoom) {
    VirtualRig rig;
    ScreenCamera camera([] { return QImage(); }, rig);
    const std::vector<std::uint8_t> frame = capture(camera);
    const auto ambient = static_cast<std::uint8_t>(rig.light.ambient);
    EXPECT_TRUE(std::all_of(frame.begin(), frame.end(), [ambient](std::uint8_t v) { return v == ambient; }));

    ScreenCamera without(ScreenCamera::DisplayGrab(), rig);
    const std::vector<std::uint8_t> none = capture(without);
    EXPECT_TRUE(std::all_of(none.begin(), none.end(), [ambient](std::uint8_t v) { return v == ambient; }));
}
