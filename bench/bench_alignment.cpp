// The alignment view streaming from the simulated module: frames per second, GUI-thread CPU time
// per frame, and resident memory growth from frame 100 to frame 3,000 (about 100 s at the camera's 30
// frames a second; "--frames N" for another length).
#include "calibration/ZelmoMainCtrl.h"
#include "device/UsbTransport.h"
#include "module/SimFault.h"
#include "sim/SimulatedModule.h"
#include "ui/AlignmentDlg.h"
#include "ui/ZelmoSetupDlg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <unistd.h>

namespace {

constexpr int warmupFrames = 100;
constexpr int defaultFrames = 3000;
// A stream that delivers no frame for this long has stalled, however long the run is meant to be.
constexpr int stallMs = 15000;

double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1.0e6;
}

long residentKb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The module paces live frames like its camera (30 a second): "--frames N" shortens a run.
    const QStringList args = QCoreApplication::arguments();
    const int framesArg = args.indexOf(QStringLiteral("--frames"));
    const int totalFrames = framesArg > 0 && framesArg + 1 < args.size()
                                ? std::max(warmupFrames + 1, args.at(framesArg + 1).toInt())
                                : defaultFrames;
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.1.3"));

    SimulatedModule module;
    module.setFault(SimFault::LatencyMs, 0.25);
    ZelmoSetupDlg hub(nullptr, module.createTransport());
    AlignmentDlg* view = hub.alignmentView();

    int frames = 0;
    double cpuAtWarmup = 0.0;
    long rssAtWarmup = 0;
    QElapsedTimer clock;
    QObject::connect(hub.controller(), &ZelmoMainCtrl::sigChangeUIState, &hub, [&](bool connected) {
        if (connected && view->isHidden())
            hub.slotStartAlignmentDisplay();
    });
    // Counted after the hub has shown the image (connected after connection 13).
    QTimer stall;
    stall.setSingleShot(true);
    stall.setInterval(stallMs);
    QObject::connect(&stall, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    QObject::connect(hub.controller(), &ZelmoMainCtrl::sigUpdateAlignImage, &hub, [&](const QImage&) {
        ++frames;
        stall.start();
        // The simulated module records every request it receives for tests; drop that record so
        // it does not count as the program's memory.
        if (frames % 50 == 0) {
            module.clearCounters();
            if (qEnvironmentVariableIsSet("BENCH_TRACE_RSS") && frames % 1000 == 0)
                std::printf("frame %d: %ld kB\n", frames, residentKb());
        }
        if (frames == warmupFrames) {
            cpuAtWarmup = threadCpuMs();
            rssAtWarmup = residentKb();
            clock.start();
        } else if (frames == totalFrames) {
            QCoreApplication::exit(0);
        }
    });
    stall.start();
    hub.startUp();
    const int code = QCoreApplication::exec();

    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1.0e9;
    const int measured = frames - warmupFrames;
    const double cpuMs = threadCpuMs() - cpuAtWarmup;
    const long rssGrowth = residentKb() - rssAtWarmup;
    // Closing the view (OK) blocks the GUI thread until the live receiver has stopped.
    QElapsedTimer closing;
    closing.start();
    hub.slotStopAlignmentDisplay();
    const double closeMs = static_cast<double>(closing.nsecsElapsed()) / 1.0e6;
    if (code != 0 || measured <= 0) {
        std::printf("stream stalled after %d frames\n", frames);
        std::printf("alignment fps=0 gui_ms_per_frame=0 rss_growth_kb=0 close_ms=0\n");
        return 1;
    }
    const double fps = measured / seconds;
    const double guiMs = cpuMs / measured;
    std::printf("frames measured: %d in %.2f s (simulated link latency 0.25 ms)\n", measured, seconds);
    std::printf("images shown by the alignment view: %lld\n",
                static_cast<long long>(view->liveImagesShown()));
    std::printf("GUI thread CPU: %.1f ms in total\n", cpuMs);
    std::printf("resident memory: %ld kB at frame %d, %ld kB at frame %d\n", rssAtWarmup, warmupFrames,
                rssAtWarmup + rssGrowth, totalFrames);
    std::printf("alignment fps=%.1f gui_ms_per_frame=%.3f rss_growth_kb=%ld close_ms=%.1f\n", fps, guiMs,
                rssGrowth, closeMs);
    return 0;
}
