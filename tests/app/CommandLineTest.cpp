// The informational options of vexaro-setup, answered before any window exists.
#include "app/CommandLine.h"

#include <QTextStream>
#include <gtest/gtest.h>
#include <vector>

namespace {

struct Answer {
    std::optional<int> exitCode;
    QString text;
};

Answer ask(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "vexaro-setup");
    Answer answer;
    QTextStream out(&answer.text);
    answer.exitCode =
        CommandLine::answerInfoRequest(static_cast<int>(arguments.size()), arguments.data(), out);
    return answer;
}

} // namespace

TEST(CommandLineTest, VersionIsTheProgramNameAndTheBuildVersionOnOneLine) {
    const Answer answer = ask({"--version"});
    ASSERT_EQ(answer.exitCode, 0);
    EXPECT_EQ(answer.text, QStringLiteral("vexaro-setup ") + CommandLine::version() + "\n");
    EXPECT_EQ(CommandLine::version(), QStringLiteral("1.0.1.3"));
    EXPECT_EQ(ask({"-v"}).text, answer.text);
}

TEST(CommandLineTest, HelpNamesEveryOptionAndWinsOverVersion) {
    for (const auto& arguments : {std::vector<const char*>{"--help"}, std::vector<const char*>{"-h"},
                                  std::vector<const char*>{"--version", "--simulate", "--help"}}) {
        const Answer answer = ask(arguments);
        ASSERT_EQ(answer.exitCode, 0);
        EXPECT_TRUE(answer.text.startsWith(QStringLiteral("Usage: vexaro-setup")));
        for (const char* option : {"--simulate", "--help", "--version"})
            EXPECT_TRUE(answer.text.contains(QLatin1String(option))) << option;
    }
}

TEST(CommandLineTest, OrdinaryStartsAreLeftAlone) {
    // No arguments, the simulation switch, Qt's own options, and look-alikes of the info options.
    for (const auto& arguments : {std::vector<const char*>{}, std::vector<const char*>{"--simulate"},
                                  std::vector<const char*>{"-platform", "offscreen"},
                                  std::vector<const char*>{"--versions", "-help", ""}}) {
        const Answer answer = ask(arguments);
        EXPECT_FALSE(answer.exitCode.has_value());
        EXPECT_TRUE(answer.text.isEmpty());
    }
}
