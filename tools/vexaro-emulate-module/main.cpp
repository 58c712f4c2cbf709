// vexaro-emulate-module: builds an emulated bus with a touch module and runs a command against it
// with umockdev's preload library, so the real libusb and hidapi of that command reach the module.

#include "EmulateOptions.h"
#include "usbemu/EmulatedBus.h"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

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
} // namespace

int main(int argc, char** argv) {
    EmulateOptions options;
    if (!options.parse(std::vector<std::string>(argv + 1, argv + argc))) {
        std::fprintf(stderr, "vexaro-emulate-module: %s\n%s", options.error.c_str(), EmulateOptions::usage());
        return 2;
    }
    ensurePreload(argv);
    std::signal(SIGINT, forwardSignal);
    std::signal(SIGTERM, forwardSignal);
    std::signal(SIGHUP, forwardSignal);
    try {
        EmulatedBus bus(options.bus);
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
        const int result = runCommand(options.command);
        {
            std::lock_guard<std::mutex> l(doneLock);
            done = true;
        }
        doneCue.notify_all();
        if (unplugger.joinable())
            unplugger.join();
        return result;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vexaro-emulate-module: %s\n", e.what());
        return 1;
    }
}
