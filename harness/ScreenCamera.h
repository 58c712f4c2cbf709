#pragma once

#include "harness/VirtualRig.h"
#include "module/FrameSource.h"
#include "module/SyntheticScene.h"

#include <QImage>
#include <functional>
#include <memory>

class DesktopBridge;
class VirtualCamera;

// The simulated module's camera looking at the desktop: each calibration capture photographs what
// the covered display shows at that moment through the virtual camera of the rig. Live frames for
// the alignment view come from the synthetic scene (photographing the alignment view itself would
// only show the camera its own picture).
class ScreenCamera : public FrameSource {
public:
    // The covered display's content as an 8-bit grey image; a null image when there is none.
    using DisplayGrab = std::function<QImage()>;

    // The bridge is borrowed and must outlive the camera.
    ScreenCamera(DesktopBridge& bridge, const VirtualRig& rig);
    // A camera looking at a display another way (e.g. the X display of another process).
    ScreenCamera(DisplayGrab grab, const VirtualRig& rig);
    ~ScreenCamera() override;

    void captureCalibration(Capture kind, const Sensor& sensor, std::uint8_t* out) override;
    void captureLive(const Sensor& sensor, std::uint8_t* out) override;

private:
    DisplayGrab grabDisplay;
    VirtualRig installation;               // its screen size follows the covered display
    std::unique_ptr<VirtualCamera> camera; // rebuilt when the display size changes
    SyntheticScene liveScene;
    std::uint32_t captures = 0;
};
