#include "harness/SimulatedInstallation.h"

#include "calibration/CalibDlg.h"
#include "calibration/PatternGeometry.h"
#include "calibration/ZelmoMainCtrl.h"
#include "device/PacketCodes.h"
#include "harness/DesktopBridge.h"
#include "harness/FixedDisplays.h"
#include "harness/ScreenCamera.h"
#include "platform/Pacing.h"
#include "platform/Platform.h"
#include "sim/SimulatedModule.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <algorithm>
#include <cmath>

SimulatedInstallation::SimulatedInstallation(const VirtualRig& installation, VirtualPen::Options penOptions,
                                             double pacingScale)
    : rig(installation) {
    Pacing::setScale(pacingScale);
    Platform::setDisplayProvider(
        std::make_unique<FixedDisplays>(QVector<QRect>{QRect(0, 0, rig.screenWidth, rig.screenHeight)}));
    MessageBoxSeam::setHandler([this](const MessageBoxSeam::Shown& shown) {
        boxes.append(shown);
        return QMessageBox::Ok;
    });
    texts.loadLanguage(7, QLocale(QLocale::English));
    module = std::make_unique<SimulatedModule>();
    // The firmware reports the minor level the rig's lens data belong to.
    module->setFirmwareVersion(51, rig.fwMinor);
    // The module reports the rig's mounting and lens, which the controller takes as its
    // installation; the settings set once connected stand for the user confirming them.
    ModuleDevice::Options mounted;
    mounted.ceiling = rig.ceiling ? 1 : 0;
    mounted.rear = rig.rear ? 1 : 0;
    mounted.lens = static_cast<std::uint8_t>(rig.lens);
    module->setOptions(mounted);
    bridge = std::make_unique<DesktopBridge>();
    module->setFrameSource(std::make_unique<ScreenCamera>(*bridge, rig));
    DesktopBridge* desktop = bridge.get();
    module->setCoordHandler([desktop](int, int x, int y) { desktop->injectOutputTouch(x, y); });
    auto penPtr = std::make_unique<VirtualPen>(
        rig, [this](int t, double& x, double& y) { return locate(t, x, y); }, penOptions);
    pen = penPtr.get();
    module->setPenBehaviour(std::move(penPtr));
    controller = std::make_unique<ZelmoMainCtrl>(&texts, module->createTransport());
    // The pen user watches the ring and lifts only once it has completed.
    QObject::connect(window(), &CalibDlg::sigMCNextStepPointer, window(), pen->ringWatcher());
    controller->StartDeviceWatch();
    // Connected once the whole connect sequence has been answered.
    connected = spinUntil(
        [this] { return controller->firmwareIsSupported() == 1 && module->commandCount(CMD_GET_EEPROM) > 0; },
        10000);
    spinUntil([] { return false; }, 50);
    // After the module's report: the program takes only the ultra short throw lens from it, so an
    // installer with another lens chooses it (as the analysis tool does).
    controller->setCeiling(rig.ceiling);
    controller->setRear(rig.rear);
    controller->setLens(rig.lens);
}

SimulatedInstallation::~SimulatedInstallation() {
    controller.reset();
    module.reset(); // the pen goes with the module
    bridge.reset();
    MessageBoxSeam::setHandler(nullptr);
    Platform::setDisplayProvider(nullptr);
    Pacing::setScale(1.0);
}

CalibDlg* SimulatedInstallation::window() const {
    return controller->calibWindow();
}

bool SimulatedInstallation::spinUntil(const std::function<bool()>& done, int timeoutMs) {
    // Sanitizer runs are several times slower; their scripts stretch every wait by this factor.
    const int stretch = std::max(1, qEnvironmentVariableIntValue("VEXARO_WAIT_STRETCH"));
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > static_cast<qint64>(timeoutMs) * stretch)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

bool SimulatedInstallation::runToEnd(int timeoutMs) {
    // The flow's last commands (the ratio fix among them) may still wait in the module's queue
    // when the window closes; the module has its calibration only once it has handled them.
    return spinUntil(
        [this] {
            return controller->currentFlowStep() == 0 && !window()->isVisible() && module->waitUntilIdle(0);
        },
        timeoutMs);
}

bool SimulatedInstallation::touchAt(double x, double y, double& outX, double& outY) const {
    double cx = 0.0, cy = 0.0, ox = 0.0, oy = 0.0;
    if (!rig.penCameraPoint(x, y, cx, cy) || !module->trackCameraPoint(cx, cy, ox, oy))
        return false;
    outX = ox / 4800.0 * rig.screenWidth;
    outY = oy / 3000.0 * rig.screenHeight;
    return true;
}

SimulatedInstallation::Accuracy SimulatedInstallation::accuracy(int columns, int rows) const {
    Accuracy a;
    double sum = 0.0;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const double x = rig.screenWidth * (0.05 + 0.9 * c / (columns - 1));
            const double y = rig.screenHeight * (0.05 + 0.9 * r / (rows - 1));
            double tx = 0.0, ty = 0.0;
            if (!touchAt(x, y, tx, ty))
                return Accuracy{1e9, 1e9, 0};
            const double e = std::hypot(tx - x, ty - y);
            sum += e * e;
            a.max = std::max(a.max, e);
            ++a.points;
        }
    }
    a.rms = std::sqrt(sum / std::max(1, a.points));
    return a;
}

// The pen user looks at the screen: the tool's target t of the running touch phase.
bool SimulatedInstallation::locate(int t, double& x, double& y) const {
    if (t < 0)
        return false;
    if (penTargets == PenTargets::Manual) {
        if (t >= PatternGeometry::manualCount)
            return false;
        const auto targets = PatternGeometry::manualTargets(rig.screenWidth, rig.screenHeight);
        x = targets[static_cast<size_t>(t)].x();
        y = targets[static_cast<size_t>(t)].y();
        return true;
    }
    if (t >= PatternGeometry::automaticCount)
        return false;
    const auto targets = PatternGeometry::semiAutomaticTargets(rig.screenWidth, rig.screenHeight);
    x = targets[static_cast<size_t>(t)].x();
    y = targets[static_cast<size_t>(t)].y();
    return true;
}
