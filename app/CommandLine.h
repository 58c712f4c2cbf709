#pragma once

#include <QString>
#include <optional>

class QTextStream;

// The informational options of vexaro-setup (--help, --version), answered before the application
// object exists, so they work without a display and never touch the module.
class CommandLine {
public:
    // The program version, set by the build from the project's version.
    static QString version();
    static QString helpText();

    // When the arguments ask for help or the version: writes the answer to out (or standard output)
    // and returns the exit code. Empty for an ordinary start; other arguments are left to Qt.
    static std::optional<int> answerInfoRequest(int argc, const char* const* argv, QTextStream& out);
    static std::optional<int> answerInfoRequest(int argc, const char* const* argv);

    // An option that is not ours but close to one of ours (--simualte, --versions, -help) would
    // otherwise be ignored by Qt and start the program against the real bus: refuses it with a hint
    // on err (or standard error) and returns the exit code 2. Empty when every option is fine.
    static std::optional<int> refuseMistypedOption(int argc, const char* const* argv, QTextStream& err);
    static std::optional<int> refuseMistypedOption(int argc, const char* const* argv);
};
