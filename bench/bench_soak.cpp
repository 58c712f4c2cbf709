// Soak: unplug/replug cycles at random moments against a module on a bus, then one summary line:
//   soak cycles=<n> failures=<n> stuck_threads=<n> rss_growth_kb=<n> fd_growth=<n> seconds=<s>
// Targets: no failures, no stuck threads, rss growth under 1 MB, no descriptor growth. The exit
// code is 1 when a target is missed.
//   bench_soak [--cycles N] [--seed S] [--usbfs | --bus simulated|usbfs] [--capture-ms MS]
// --capture-ms makes every capture of the module take that long, which widens the window in which
// a capture asked for before an unplug could land after it. A failed cycle is named on standard
// error: its number, the moment of the unplug and what failed.
// --usbfs runs the cycles over the emulated USB bus through the real libusb and hidapi; the program
// then starts itself again under umockdev's preload library.
#include "soak/EmulatedSoakBus.h"
#include "soak/PreloadRestart.h"
#include "soak/SimulatedSoakBus.h"
#include "soak/SoakRunner.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {
bool asksForUsbfs(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--usbfs") == 0 || std::strcmp(argv[i], "--bus=usbfs") == 0 ||
            (std::strcmp(argv[i], "--bus") == 0 && i + 1 < argc && std::strcmp(argv[i + 1], "usbfs") == 0))
            return true;
    }
    return false;
}
} // namespace

int main(int argc, char** argv) {
    // Before anything starts a thread or opens a file.
    if (asksForUsbfs(argc, argv))
        restartWithUmockdevPreload(argv);
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption cyclesOption(QStringLiteral("cycles"), QStringLiteral("cycles"),
                                          QStringLiteral("n"), QStringLiteral("1000"));
    const QCommandLineOption seedOption(QStringLiteral("seed"), QStringLiteral("seed"), QStringLiteral("s"),
                                        QStringLiteral("1"));
    const QCommandLineOption busOption(QStringLiteral("bus"), QStringLiteral("bus"), QStringLiteral("name"),
                                       QStringLiteral("simulated"));
    const QCommandLineOption usbfsOption(QStringLiteral("usbfs"), QStringLiteral("the emulated USB bus"));
    const QCommandLineOption captureOption(QStringLiteral("capture-ms"),
                                           QStringLiteral("time of one capture"), QStringLiteral("ms"),
                                           QStringLiteral("0"));
    parser.addOptions({cyclesOption, seedOption, busOption, usbfsOption, captureOption});
    parser.process(app);
    const int cycles = std::max(1, parser.value(cyclesOption).toInt());
    const auto seed = static_cast<std::uint32_t>(parser.value(seedOption).toUInt());
    const QString busName = parser.isSet(usbfsOption) ? QStringLiteral("usbfs") : parser.value(busOption);

    std::unique_ptr<SoakBus> bus;
    if (busName == QStringLiteral("simulated")) {
        bus = std::make_unique<SimulatedSoakBus>(seed);
    } else if (busName == QStringLiteral("usbfs")) {
        bus = std::make_unique<EmulatedSoakBus>(seed);
    } else {
        std::fprintf(stderr, "bench_soak: unknown bus (known: simulated, usbfs)\n");
        return 2;
    }
    bus->setCaptureMs(std::max(0.0, parser.value(captureOption).toDouble()));
    const SoakRunner::Result r = SoakRunner(*bus, seed).run(cycles);
    std::printf("%s\n", qPrintable(r.line()));
    const bool met = r.failures == 0 && r.stuckThreads == 0 && r.rssGrowthKb < 1024 && r.fdGrowth <= 0;
    return met ? 0 : 1;
}
