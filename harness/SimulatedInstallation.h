#pragma once

#include "harness/VirtualPen.h"
#include "harness/VirtualRig.h"
#include "services/LanguageTexts.h"
#include "services/MessageBoxSeam.h"

#include <QList>
#include <functional>
#include <memory>

class CalibDlg;
class DesktopBridge;
class SimulatedModule;
class ZelmoMainCtrl;

// A whole simulated installation for calibration tests and benchmarks: the real controller and
// calibration window on a display of the rig's size, the simulated module whose camera
// photographs the window and whose touches land on it, and a virtual pen that touches the targets
// the window shows. Message boxes are collected instead of shown. GUI thread only.
class SimulatedInstallation {
public:
    enum class PenTargets { Manual, SemiAutomatic };
    struct Accuracy {
        double rms = 0.0;
        double max = 0.0;
        int points = 0;
    };

    explicit SimulatedInstallation(const VirtualRig& rig,
                                   VirtualPen::Options penOptions = VirtualPen::Options(),
                                   double pacingScale = 0.01);
    ~SimulatedInstallation();

    CalibDlg* window() const;

    // Runs the event loop until done() holds or the time is up.
    static bool spinUntil(const std::function<bool()>& done, int timeoutMs);
    // Runs until the flow is back at rest with the window hidden and the module has handled every
    // command sent, or the time is up.
    bool runToEnd(int timeoutMs = 60000);

    // Where the calibrated module's touch output lands for a pen at a physical screen point.
    bool touchAt(double x, double y, double& outX, double& outY) const;
    // Touch error over a grid of columns x rows points spanning the screen 5 % in from its edges.
    Accuracy accuracy(int columns = 7, int rows = 5) const;

    PenTargets penTargets = PenTargets::Manual;
    VirtualRig rig;
    LanguageTexts texts;
    std::unique_ptr<SimulatedModule> module;
    std::unique_ptr<DesktopBridge> bridge;
    VirtualPen* pen = nullptr; // owned by the module
    std::unique_ptr<ZelmoMainCtrl> controller;
    QList<MessageBoxSeam::Shown> boxes;
    bool connected = false;

private:
    bool locate(int target, double& x, double& y) const;
};
