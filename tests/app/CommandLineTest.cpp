// The informational options of vexaro-setup, answered before any window exists.
#include "app/CommandLine.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextStream>
#include <gtest/gtest.h>
#include <utility>
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
    // The version is the one the project's build declares, read from the build file itself.
    QFile build(QStringLiteral(VEXARO_SOURCE_DIR "/CMakeLists.txt"));
    ASSERT_TRUE(build.open(QIODevice::ReadOnly | QIODevice::Text));
    const QRegularExpressionMatch declared =
        QRegularExpression(QStringLiteral("project\\(\\w+ VERSION (\\d+(?:\\.\\d+){3})"))
            .match(QString::fromUtf8(build.readAll()));
    ASSERT_TRUE(declared.hasMatch());
    EXPECT_EQ(CommandLine::version(), declared.captured(1));
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

Answer check(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "vexaro-setup");
    Answer answer;
    QTextStream err(&answer.text);
    answer.exitCode =
        CommandLine::refuseMistypedOption(static_cast<int>(arguments.size()), arguments.data(), err);
    return answer;
}

TEST(CommandLineTest, OrdinaryStartsAreLeftAlone) {
    // No arguments, the simulation switch, and Qt's own options with one or two dashes and values.
    for (const auto& arguments :
         {std::vector<const char*>{}, std::vector<const char*>{"--simulate"},
          std::vector<const char*>{"-platform", "offscreen"}, std::vector<const char*>{"--platform", "xcb"},
          std::vector<const char*>{"-reverse", "-style", "fusion", "--session=simulate", ""},
          std::vector<const char*>{"--simulate", "-qwindowgeometry", "800x600+0+0", "--", "-"}}) {
        const Answer answer = ask(arguments);
        EXPECT_FALSE(answer.exitCode.has_value());
        EXPECT_TRUE(answer.text.isEmpty());
        const Answer checked = check(arguments);
        EXPECT_FALSE(checked.exitCode.has_value()) << checked.text.toStdString();
        EXPECT_TRUE(checked.text.isEmpty());
    }
}

TEST(CommandLineTest, AMistypedOptionOfOursIsRefusedWithTheOptionMeant) {
    // Without this, Qt ignores them and the program starts against the real bus.
    const std::pair<const char*, const char*> cases[] = {
        {"--simualte", "--simulate"}, {"--simulat", "--simulate"}, {"-simulate", "--simulate"},
        {"--sim", "--simulate"},      {"--versions", "--version"}, {"-help", "--help"},
        {"--hlep", "--help"}};
    for (const auto& [typed, meant] : cases) {
        const Answer answer = check({"--simulate", typed});
        EXPECT_EQ(answer.exitCode, 2) << typed;
        EXPECT_TRUE(answer.text.contains(QStringLiteral("unknown option '%1'").arg(QLatin1String(typed))))
            << answer.text.toStdString();
        EXPECT_TRUE(answer.text.contains(QStringLiteral("did you mean '%1'").arg(QLatin1String(meant))))
            << answer.text.toStdString();
    }
    // An option far from all of ours is Qt's business: it ignores what it does not know.
    EXPECT_FALSE(check({"--frobnicate"}).exitCode.has_value());
}
