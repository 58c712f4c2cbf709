#include "app/CommandLine.h"

#include <QStringList>
#include <QTextStream>
#include <algorithm>
#include <cstring>
#include <vector>

#ifndef VEXARO_VERSION
#error "the build sets VEXARO_VERSION from the project's version"
#endif

namespace {

// Our options as a user should spell them.
const char* const ownOptions[] = {"--simulate", "--help", "--version"};

// Qt's own options (each also accepted with two dashes), which are never a misspelling of ours.
const char* const qtOptions[] = {"platform",
                                 "platformpluginpath",
                                 "platformtheme",
                                 "plugin",
                                 "qwindowgeometry",
                                 "qwindowicon",
                                 "qwindowtitle",
                                 "reverse",
                                 "session",
                                 "display",
                                 "geometry",
                                 "style",
                                 "stylesheet",
                                 "widgetcount",
                                 "nograb",
                                 "dograb",
                                 "sync",
                                 "title",
                                 "name",
                                 "visual",
                                 "qmljsdebugger",
                                 "testability",
                                 "dialogs",
                                 "im",
                                 "fn",
                                 "font",
                                 "bg",
                                 "fg",
                                 "btn",
                                 "ncols",
                                 "cmap",
                                 "inputstyle"};

// Edits (insert, delete, replace, swap two neighbours) that turn one word into the other.
int editDistance(const QString& a, const QString& b) {
    const int n = a.size();
    const int m = b.size();
    std::vector<std::vector<int>> d(static_cast<size_t>(n) + 1, std::vector<int>(static_cast<size_t>(m) + 1));
    for (int i = 0; i <= n; ++i)
        d[i][0] = i;
    for (int j = 0; j <= m; ++j)
        d[0][j] = j;
    for (int i = 1; i <= n; ++i) {
        for (int j = 1; j <= m; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[n][m];
}

// Which of our options the argument was probably meant to be; empty when it is ours, Qt's, a value,
// or too far from all of ours to guess.
QString meantOption(const QString& argument) {
    if (!argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-") ||
        argument == QLatin1String("--") || argument == QLatin1String("-h") || argument == QLatin1String("-v"))
        return {};
    for (const char* own : ownOptions) {
        if (argument == QLatin1String(own))
            return {};
    }
    const QString word =
        argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1).section(QLatin1Char('='), 0, 0);
    for (const char* qt : qtOptions) {
        if (word == QLatin1String(qt))
            return {};
    }
    for (const char* own : ownOptions) {
        const QString name = QString::fromLatin1(own).mid(2);
        // A slip of one or two keys in a long name, one in a short one, or a shortened name.
        const int allowed = name.size() >= 6 ? 2 : 1;
        if (editDistance(word, name) <= allowed || (word.size() >= 3 && name.startsWith(word)))
            return QString::fromLatin1(own);
    }
    return {};
}

} // namespace

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

std::optional<int> CommandLine::refuseMistypedOption(int argc, const char* const* argv, QTextStream& err) {
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        const QString meant = meantOption(argument);
        if (meant.isEmpty())
            continue;
        err << "vexaro-setup: unknown option '" << argument << "'; did you mean '" << meant
            << "'? (vexaro-setup --help lists the options)\n";
        err.flush();
        return 2;
    }
    return std::nullopt;
}

std::optional<int> CommandLine::refuseMistypedOption(int argc, const char* const* argv) {
    QTextStream err(stderr);
    return refuseMistypedOption(argc, argv, err);
}
