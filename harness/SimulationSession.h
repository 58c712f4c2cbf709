#pragma once

#include "harness/SimulationHooks.h"

#include <QObject>
#include <memory>

class DesktopBridge;
class MousePen;
class SimulatedModule;
class TouchTestCanvas;
class UsbTransport;
class ZelmoSetupDlg;

// Everything a --simulate run adds to the program: the simulated module, whose camera photographs
// the calibration window and whose touches land on the desktop, the mouse acting as the pen on the
// calibration window and on the touch test, and the test hooks. Lives in the GUI thread.
class SimulationSession : public QObject {
    Q_OBJECT
public:
    SimulationSession();
    ~SimulationSession() override;

    // The transport the object graph reaches the module through (once).
    std::unique_ptr<UsbTransport> takeTransport();
    // Wires the pen and the hooks to the running graph; the hub must outlive the session's use.
    void attach(ZelmoSetupDlg& hub, bool readStdin = true);
    SimulatedModule& simulatedModule() { return *module; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void addHooks(ZelmoSetupDlg& hub);

    std::unique_ptr<SimulatedModule> module;
    std::unique_ptr<DesktopBridge> bridge;
    std::unique_ptr<UsbTransport> transport;
    MousePen* mousePen = nullptr;         // owned by the module
    TouchTestCanvas* touchTest = nullptr; // borrowed from the hub
    SimulationHooks hooks;
};
