#include "harness/ScreenCamera.h"

#include "harness/DesktopBridge.h"
#include "sim/VirtualCamera.h"

#include <cstring>
#include <utility>

ScreenCamera::ScreenCamera(DesktopBridge& bridge, const VirtualRig& rig)
    : ScreenCamera([&bridge] { return bridge.grabCoveredDisplay(); }, rig) {}

ScreenCamera::ScreenCamera(DisplayGrab grab, const VirtualRig& rig)
    : grabDisplay(std::move(grab))
    , installation(rig) {}

ScreenCamera::~ScreenCamera() = default;

void ScreenCamera::captureCalibration(Capture, const Sensor&, std::uint8_t* out) {
    const QImage screen = grabDisplay ? grabDisplay() : QImage();
    if (screen.isNull()) {
        // Nothing on the desktop answered: the camera sees a dark room.
        std::memset(out, static_cast<int>(installation.light.ambient), calibWidth * calibHeight);
        return;
    }
    if (!camera || screen.width() != installation.screenWidth ||
        screen.height() != installation.screenHeight) {
        installation.screenWidth = screen.width();
        installation.screenHeight = screen.height();
        camera =
            std::make_unique<VirtualCamera>(installation.mountedModel(), screen.width(), screen.height());
    }
    VirtualPhotometry light = installation.light;
    light.seed += ++captures; // fresh sensor noise for every picture
    const cv::Mat frame = camera->render(screen, light);
    for (int row = 0; row < calibHeight && row < frame.rows; ++row)
        std::memcpy(out + row * calibWidth, frame.ptr(row), calibWidth);
}

void ScreenCamera::captureLive(const Sensor& sensor, std::uint8_t* out) {
    liveScene.captureLive(sensor, out);
}
