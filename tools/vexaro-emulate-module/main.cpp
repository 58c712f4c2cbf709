// vexaro-emulate-module: builds an emulated bus with a touch module and runs a command against it
// with umockdev's preload library, so the real libusb and hidapi of that command reach the module.

#include "EmulateOptions.h"
#include "ScreenGrabber.h"
#include "harness/ScreenCamera.h"
#include "harness/VirtualRig.h"
#include "module/ModuleDevice.h"
#include "usbemu/EmulatedBus.h"

#include "device/PacketCodes.h"

#include <QGuiApplication>
#include <QLoggingCategory>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

Q_LOGGING_CATEGORY(lcEmulate, "vexaro.emulate", QtWarningMsg)

namespace {
const char* const preloadLibrary = "libumockdev-preload.so.0";
volatile sig_atomic_t commandPid = 0; // the running command, for the signal forwarder

// Ends the command with the signal that would have ended us, so that it never outlives the bus.
void forwardSignal(int signal) {
    if (commandPid > 0)
        kill(static_cast<pid_t>(commandPid), signal);
}

// The testbed is only seen through umockdev's preload library, by this process (which builds it)
// as by the command (which inherits it with the testbed's UMOCKDEV_DIR): without it, start again
// with it.
void ensurePreload(char** argv) {
    const char* current = std::getenv("LD_PRELOAD");
    if (current && std::strstr(current, "libumockdev-preload"))
        return;
    std::string value = preloadLibrary;
    if (current && *current)
        value = std::string(current) + ":" + value;
    setenv("LD_PRELOAD", value.c_str(), 1);
    execv("/proc/self/exe", argv);
    std::fprintf(stderr, "vexaro-emulate-module: cannot restart with %s\n", preloadLibrary);
    std::exit(1);
}

int runCommand(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const auto& a : command)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    const int r = posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ);
    if (r != 0) {
        std::fprintf(stderr, "vexaro-emulate-module: cannot run %s\n", argv[0]);
        return 127;
    }
    commandPid = child;
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    commandPid = 0;
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 1;
}

// The screen camera needs the X display whatever platform the environment asks Qt for.
std::unique_ptr<QGuiApplication> connectToDisplay() {
    static int argc = 3;
    static char name[] = "vexaro-emulate-module";
    static char platformOption[] = "-platform";
    static char platform[] = "xcb";
    static char* argv[] = {name, platformOption, platform, nullptr};
    return std::make_unique<QGuiApplication>(argc, argv);
}

// Each module's camera photographs the display through the simulated module's screen camera.
void attachScreenCameras(EmulatedBus& bus, ScreenGrabber& grabber) {
    VirtualRig rig;
    const QSize screen = grabber.screenSize();
    if (!screen.isEmpty()) {
        rig.screenWidth = screen.width();
        rig.screenHeight = screen.height();
    }
    for (int i = 0; i < bus.moduleCount(); ++i)
        bus.module(i).setFrameSource(
            std::make_unique<ScreenCamera>([&grabber] { return grabber.grab(); }, rig));
}
// What the modules were left holding, for scripts that check a calibration reached a module.
void reportModules(EmulatedBus& bus) {
    for (int i = 0; i < bus.moduleCount(); ++i) {
        ModuleDevice& module = bus.module(i);
        module.waitUntilIdle(2000);
        qCDebug(lcEmulate).nospace() << "module " << i << ": " << module.commandCount(CMD_SET_CALIB_PARAMETER)
                                     << " calibration parameter command(s), calibration record of "
                                     << module.lastCalibRecord().size() << " bytes";
    }
}
} // namespace

int main(int argc, char** argv) {
    EmulateOptions options;
    if (!options.parse(std::vector<std::string>(argv + 1, argv + argc))) {
        std::fprintf(stderr, "vexaro-emulate-module: %s\n%s", options.error.c_str(), EmulateOptions::usage());
        return 2;
    }
    if (options.helpAsked) {
        std::fputs(EmulateOptions::usage(), stdout);
        return 0;
    }
    if (options.versionAsked) {
        std::printf("vexaro-emulate-module %s\n", VEXARO_VERSION);
        return 0;
    }
    if (options.screenCamera && !std::getenv("DISPLAY")) {
        std::fprintf(stderr, "vexaro-emulate-module: --screen-camera needs an X display (DISPLAY)\n");
        return 2;
    }
    ensurePreload(argv);
    std::signal(SIGINT, forwardSignal);
    std::signal(SIGTERM, forwardSignal);
    std::signal(SIGHUP, forwardSignal);
    try {
        // Declared before the bus so that they outlive the modules' cameras.
        std::unique_ptr<QGuiApplication> gui;
        std::unique_ptr<ScreenGrabber> grabber;
        if (options.screenCamera) {
            gui = connectToDisplay();
            grabber = std::make_unique<ScreenGrabber>();
        }
        EmulatedBus bus(options.bus);
        if (grabber)
            attachScreenCameras(bus, *grabber);
        std::mutex doneLock; // guards done
        std::condition_variable doneCue;
        bool done = false;
        std::thread unplugger;
        if (options.unplugAfterSeconds >= 0.0) {
            unplugger = std::thread([&] {
                std::unique_lock<std::mutex> l(doneLock);
                const auto wait = std::chrono::duration<double>(options.unplugAfterSeconds);
                if (!doneCue.wait_for(l, wait, [&] { return done; })) {
                    for (int i = 0; i < bus.moduleCount(); ++i)
                        bus.unplug(i);
                }
            });
        }
        int result = 0;
        if (gui) {
            // Screen grabs are served by the GUI thread while the command runs.
            std::thread runner([&] {
                result = runCommand(options.command);
                QMetaObject::invokeMethod(
                    gui.get(), [] { QCoreApplication::quit(); }, Qt::QueuedConnection);
            });
            QGuiApplication::exec();
            runner.join();
        } else {
            result = runCommand(options.command);
        }
        {
            std::lock_guard<std::mutex> l(doneLock);
            done = true;
        }
        doneCue.notify_all();
        if (unplugger.joinable())
            unplugger.join();
        reportModules(bus);
        return result;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vexaro-emulate-module: %s\n", e.what());
        return 1;
    }
}
