// Soak: unplug/replug cycles at random moments against a module on a bus, then one summary line:
//   soak cycles=<n> failures=<n> stuck_threads=<n> rss_growth_kb=<n> fd_growth=<n> seconds=<s>
// Targets: no failures, no stuck threads, rss growth under 1 MB, no descriptor growth. The exit
// code is 1 when a target is missed.
//   bench_soak [--cycles N] [--seed S] [--bus simulated]
#include "soak/SimulatedSoakBus.h"
#include "soak/SoakRunner.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption cyclesOption(QStringLiteral("cycles"), QStringLiteral("cycles"),
                                          QStringLiteral("n"), QStringLiteral("1000"));
    const QCommandLineOption seedOption(QStringLiteral("seed"), QStringLiteral("seed"), QStringLiteral("s"),
                                        QStringLiteral("1"));
    const QCommandLineOption busOption(QStringLiteral("bus"), QStringLiteral("bus"), QStringLiteral("name"),
                                       QStringLiteral("simulated"));
    parser.addOptions({cyclesOption, seedOption, busOption});
    parser.process(app);
    const int cycles = std::max(1, parser.value(cyclesOption).toInt());
    const auto seed = static_cast<std::uint32_t>(parser.value(seedOption).toUInt());

    std::unique_ptr<SoakBus> bus;
    if (parser.value(busOption) == QStringLiteral("simulated")) {
        bus = std::make_unique<SimulatedSoakBus>(seed);
    } else {
        std::fprintf(stderr, "bench_soak: unknown bus (known: simulated)\n");
        return 2;
    }
    const SoakRunner::Result r = SoakRunner(*bus, seed).run(cycles);
    std::printf("%s\n", qPrintable(r.line()));
    const bool met = r.failures == 0 && r.stuckThreads == 0 && r.rssGrowthKb < 1024 && r.fdGrowth <= 0;
    return met ? 0 : 1;
}
