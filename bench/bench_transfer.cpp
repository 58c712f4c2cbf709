// Image transfer over the simulated module: time per calibration image, live frames per second and
// the tool's own CPU time, for link latencies of 0, 0.25 and 1 ms per round trip and block loss of
// 0 % and 5 %; then the same calibration image through the real libusb on the emulated usbfs bus
// (a second run of this program under umockdev's preload library).
//
// CPU method: the process's CPU time (getrusage, all threads) minus the CPU time of the simulated
// module's thread (its own thread CPU clock). What remains is the tool: the receive thread, the
// GUI thread's hand-over and slots, and the reads and writes into the simulated transport (the
// counterpart of the libusb calls). The GUI thread waits in a blocking event loop, not a poll.
#include "device/CamDevCtrl.h"
#include "device/LibusbTransport.h"
#include "device/PacketCodes.h"
#include "platform/Pacing.h"
#include "sim/SimulatedModule.h"
#include "usbemu/EmulatedBus.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

double processCpuMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

// Runs the event loop until the signal has fired `count` times (or 30 s pass).
template <typename Signal, typename Slot>
bool runUntil(CamDevCtrl& link, Signal signal, int count, Slot onEach) {
    QEventLoop loop;
    int seen = 0;
    auto c = QObject::connect(&link, signal, &loop, [&](auto... args) {
        onEach(args...);
        if (++seen >= count)
            loop.quit();
    });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(c);
    return seen >= count;
}

struct Figures {
    double imageMs = 0, cpuPerImageMs = 0, liveFps = 0, cpuPerFrameMs = 0;
};

Figures measure(double latencyMs, double loss) {
    constexpr int images = 5;
    constexpr int frames = 40;
    SimulatedModule module;
    module.setSeed(42);
    module.setFault(SimFault::LatencyMs, latencyMs);
    Figures f;
    auto link = std::make_unique<CamDevCtrl>(module.createTransport());
    link->openDevice();
    runUntil(*link, &CamDevCtrl::sigSetPrevTweak, 1, [](unsigned char*) {});
    link->startWhiteCapture(100);
    runUntil(*link, &CamDevCtrl::sigACNextStep, 1, [] {});
    module.setFault(SimFault::BlockLoss, loss);

    QElapsedTimer wall;
    double cpu0 = processCpuMs(), sim0 = module.workerCpuMs();
    wall.start();
    for (int i = 0; i < images; ++i) {
        link->requestAcImage(AcImageId::white, 0);
        runUntil(*link, &CamDevCtrl::sigACNewFrame, 1, [](unsigned char*, int) {});
    }
    f.imageMs = static_cast<double>(wall.nsecsElapsed()) / 1e6 / images;
    f.cpuPerImageMs = (processCpuMs() - cpu0 - (module.workerCpuMs() - sim0)) / images;

    link->stopReceiver();
    link->setReceiveMode(1);
    link->startReceiver();
    link->setLiveStreamStopped(0);
    cpu0 = processCpuMs();
    sim0 = module.workerCpuMs();
    wall.restart();
    link->requestLiveFrame();
    runUntil(*link, &CamDevCtrl::sigNewFrame, frames, [&](unsigned char*, int) { link->requestLiveFrame(); });
    const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    f.liveFps = frames / seconds;
    f.cpuPerFrameMs = (processCpuMs() - cpu0 - (module.workerCpuMs() - sim0)) / frames;
    link->setLiveStreamStopped(1);
    link.reset();
    return f;
}

// Time and tool CPU per calibration image through LibusbTransport on the emulated bus. The CPU
// figure subtracts the module's thread but includes umockdev's ioctl thread (the emulated kernel).
Figures measureUsbfs(double lossPercent) {
    constexpr int images = 5;
    EmulatedBus::Options options;
    EmulatedBus bus(options);
    ModuleDevice& module = bus.module();
    Figures f;
    auto link = std::make_unique<CamDevCtrl>(std::make_unique<LibusbTransport>());
    if (!link->isDevicePresent(true) || !link->openDevice())
        return f;
    runUntil(*link, &CamDevCtrl::sigSetPrevTweak, 1, [](unsigned char*) {});
    link->startWhiteCapture(100);
    runUntil(*link, &CamDevCtrl::sigACNextStep, 1, [] {});
    module.faults().seed(42);
    module.faults().set(SimFault::BlockLoss, lossPercent / 100.0);
    QElapsedTimer wall;
    const double cpu0 = processCpuMs(), sim0 = module.workerCpuMs();
    wall.start();
    for (int i = 0; i < images; ++i) {
        link->requestAcImage(AcImageId::white, 0);
        runUntil(*link, &CamDevCtrl::sigACNewFrame, 1, [](unsigned char*, int) {});
    }
    f.imageMs = static_cast<double>(wall.nsecsElapsed()) / 1e6 / images;
    f.cpuPerImageMs = (processCpuMs() - cpu0 - (module.workerCpuMs() - sim0)) / images;
    link.reset();
    return f;
}

// Runs this program again with umockdev's preload library for the usbfs figures, so the preload
// does not touch the in-process ones.
void runUsbfsPass(const char* self) {
    const char* preload = std::getenv("LD_PRELOAD");
    const std::string value =
        std::string(preload && *preload ? std::string(preload) + ":" : "") + "libumockdev-preload.so.0";
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        setenv("LD_PRELOAD", value.c_str(), 1);
        execl(self, self, "--usbfs", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (child > 0)
        waitpid(child, &status, 0);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--usbfs") == 0) {
        Pacing::setScale(0.01);
        const Figures clean = measureUsbfs(0.0);
        const Figures lossy = measureUsbfs(5.0);
        std::printf("usbfs image_ms=%.2f image_ms_loss5=%.2f cpu_ms_per_image=%.3f\n", clean.imageMs,
                    lossy.imageMs, clean.cpuPerImageMs);
        return 0;
    }
    // Only the connect and shut-down pauses are scaled; the link latency is real time.
    Pacing::setScale(0.01);
    std::printf("%-12s %-6s %12s %16s %10s %16s\n", "latency_ms", "loss", "image_ms", "cpu_ms_per_image",
                "live_fps", "cpu_ms_per_frame");
    Figures at025, at025loss;
    for (double latency : {0.0, 0.25, 1.0}) {
        for (double loss : {0.0, 0.05}) {
            const Figures f = measure(latency, loss);
            std::printf("%-12.2f %-6.2f %12.2f %16.3f %10.1f %16.3f\n", latency, loss, f.imageMs,
                        f.cpuPerImageMs, f.liveFps, f.cpuPerFrameMs);
            if (latency == 0.25 && loss == 0.0)
                at025 = f;
            if (latency == 0.25 && loss == 0.05)
                at025loss = f;
        }
    }
    std::printf("transfer image_ms=%.2f image_ms_loss5=%.2f live_fps=%.1f cpu_ms_per_image=%.3f\n",
                at025.imageMs, at025loss.imageMs, at025.liveFps, at025.cpuPerImageMs);
    runUsbfsPass("/proc/self/exe");
    return 0;
}
