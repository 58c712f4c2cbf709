#include "EmulateOptions.h"

#include <cmath>
#include <cstdlib>

namespace {
bool number(const std::string& text, double lo, double hi, double& out) {
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(v) || v < lo || v > hi)
        return false;
    out = v;
    return true;
}
} // namespace

const char* EmulateOptions::usage() {
    return "usage: vexaro-emulate-module [options] -- command [arguments...]\n"
           "Runs the command with an emulated touch module (16D0:0F8C) on a umockdev bus.\n"
           "  --no-hid-collection    the vendor HID interface carries no 0xFF00 collection\n"
           "  --no-access            the module's /dev node refuses open (EACCES)\n"
           "  --kernel-driver        a kernel driver holds interfaces 2 and 3 until detached\n"
           "  --unplug-after SECONDS the module leaves the bus after that time\n"
           "  --loss PERCENT         each image block is lost with that probability\n"
           "  --modules N            N modules with the same ids (1 to 4)\n"
           "  --screen-camera        the module's camera photographs the X display (DISPLAY) the\n"
           "                         command draws on, so a calibration can succeed\n"
           "  -h, --help             show this help and exit\n"
           "  --version              show the version and exit\n";
}

bool EmulateOptions::parse(const std::vector<std::string>& args) {
    std::size_t i = 0;
    for (; i < args.size() && args[i] != "--"; ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        double v = 0.0;
        if (a == "--help" || a == "-h") {
            helpAsked = true;
            return true;
        } else if (a == "--version") {
            versionAsked = true;
        } else if (a == "--no-hid-collection") {
            bus.hidCollection = false;
        } else if (a == "--no-access") {
            bus.noAccess = true;
        } else if (a == "--screen-camera") {
            screenCamera = true;
        } else if (a == "--kernel-driver") {
            bus.kernelDriver = true;
        } else if (a == "--unplug-after" && hasValue && number(args[i + 1], 0.0, 1e6, v)) {
            unplugAfterSeconds = v;
            ++i;
        } else if (a == "--loss" && hasValue && number(args[i + 1], 0.0, 100.0, v)) {
            bus.lossPercent = v;
            ++i;
        } else if (a == "--modules" && hasValue && number(args[i + 1], 1.0, 4.0, v) && v == std::floor(v)) {
            bus.modules = static_cast<int>(v);
            ++i;
        } else {
            error = "unknown option or bad value: " + a;
            return false;
        }
    }
    if (versionAsked)
        return true;
    if (i + 1 >= args.size()) {
        error = "no command after --";
        return false;
    }
    command.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
    return true;
}
