// How long the GUI thread stalls during calibrations: automatic, semi-automatic (with tuning) and
// manual runs against the simulated module, with the real windows on the offscreen platform and the
// product's own pacing. A 10 ms timer runs throughout; each time it fires late, the delay is a
// stall the user would see as a window that neither repaints nor takes Escape. The time the
// simulated camera spends photographing the window on the GUI thread is taken out: a real camera
// does that on its own hardware.
//
//   bench_gui_stall [--runs <n>]    n runs of each kind (default 2)
#include "calibration/ZelmoMainCtrl.h"
#include "harness/DesktopBridge.h"
#include "harness/SimulatedInstallation.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int tickMs = 10;

// Records how late each tick of a 10 ms timer comes, less the camera's grabs in between.
class StallMeter {
public:
    explicit StallMeter(const DesktopBridge& desktop)
        : bridge(desktop) {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(tickMs);
        QObject::connect(&timer, &QTimer::timeout, [this] { tick(); });
        since.start();
        grabsBefore = bridge.grabNanoseconds();
        timer.start();
    }
    const std::vector<double>& lateMs() const { return late; }

private:
    void tick() {
        const qint64 grabs = bridge.grabNanoseconds();
        const double elapsedMs = since.nsecsElapsed() / 1e6 - (grabs - grabsBefore) / 1e6;
        late.push_back(std::max(0.0, elapsedMs - tickMs));
        since.restart();
        grabsBefore = grabs;
    }

    const DesktopBridge& bridge;
    QTimer timer;
    QElapsedTimer since;
    qint64 grabsBefore = 0;
    std::vector<double> late;
};

VirtualPen::Options quickPen() {
    VirtualPen::Options pen;
    pen.restMs = 380; // the window's ring completes after about 240 ms
    return pen;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    int runs = 2;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::clamp(std::atoi(argv[i + 1]), 1, 100);

    SimulatedInstallation inst(VirtualRig(), quickPen(), 1.0);
    if (!inst.connected) {
        std::printf("the simulated module did not connect\n");
        return 1;
    }
    int calibrations = 0;
    bool allOk = true;
    StallMeter meter(*inst.bridge);
    struct Kind {
        const char* name;
        SimulatedInstallation::PenTargets pen;
        void (ZelmoMainCtrl::*start)();
    };
    const Kind kinds[] = {
        {"automatic", SimulatedInstallation::PenTargets::Manual, &ZelmoMainCtrl::StartACalibration},
        {"with tuning", SimulatedInstallation::PenTargets::SemiAutomatic, &ZelmoMainCtrl::StartSCalibration},
        {"manual", SimulatedInstallation::PenTargets::Manual, &ZelmoMainCtrl::StartMCalibration},
    };
    for (int run = 0; run < runs; ++run) {
        for (const Kind& kind : kinds) {
            inst.boxes.clear();
            inst.penTargets = kind.pen;
            QElapsedTimer took;
            took.start();
            (inst.controller.get()->*kind.start)();
            const bool ok = inst.runToEnd(120000) && inst.boxes.isEmpty();
            allOk = allOk && ok;
            ++calibrations;
            std::printf("%-12s %6.2f s%s\n", kind.name, took.elapsed() / 1000.0, ok ? "" : "  (failed)");
            std::fflush(stdout);
        }
    }
    std::vector<double> late = meter.lateMs();
    std::sort(late.begin(), late.end());
    const double maxMs = late.empty() ? 0.0 : late.back();
    const double p99Ms = late.empty() ? 0.0 : late[std::min(late.size() - 1, late.size() * 99 / 100)];
    std::printf("ticks of %d ms: %zu; the camera's grabs are taken out\n", tickMs, late.size());
    std::printf("gui_stall calibrations=%d max_ms=%.1f p99_ms=%.1f\n", calibrations, maxMs, p99Ms);
    return allOk ? 0 : 1;
}
