#include "app/CommandLine.h"

#include <QTextStream>
#include <cstring>

#ifndef VEXARO_VERSION
#error "the build sets VEXARO_VERSION from the project's version"
#endif

QString CommandLine::version() {
    return QStringLiteral(VEXARO_VERSION);
}

QString CommandLine::helpText() {
    return QStringLiteral(
        "Usage: vexaro-setup [--simulate]\n"
        "\n"
        "Sets up and calibrates the Vexaro interactive touch module (USB 16D0:0F8C): input mode,\n"
        "mounting, lens type, interface language, the alignment view and the automatic, tuned and\n"
        "manual calibrations.\n"
        "\n"
        "  --simulate     talk to the built-in simulated module instead of a module on USB\n"
        "  -h, --help     show this help and exit\n"
        "  -v, --version  show the version and exit\n"
        "\n"
        "Qt's own options (for instance -platform) are accepted as well.\n"
        "The interface language is kept in /var/lib/Norvale/Vexaro/config.ini, or in\n"
        "~/.config/Norvale/Vexaro/config.ini when that file cannot be written.\n");
}

std::optional<int> CommandLine::answerInfoRequest(int argc, const char* const* argv, QTextStream& out) {
    // Help wins over the version wherever each appears, as with most command-line tools.
    bool versionAsked = false;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0) {
            out << helpText();
            out.flush();
            return 0;
        }
        if (std::strcmp(argument, "--version") == 0 || std::strcmp(argument, "-v") == 0)
            versionAsked = true;
    }
    if (!versionAsked)
        return std::nullopt;
    out << "vexaro-setup " << version() << '\n';
    out.flush();
    return 0;
}

std::optional<int> CommandLine::answerInfoRequest(int argc, const char* const* argv) {
    QTextStream out(stdout);
    return answerInfoRequest(argc, argv, out);
}
