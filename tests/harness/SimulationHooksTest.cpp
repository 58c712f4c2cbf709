#include "harness/SimulationHooks.h"
#include "tests/support/EventualAssert.h"

#include <QTest>
#include <csignal>
#include <gtest/gtest.h>

TEST(SimulationHooksTest, PosixSignalsRunUnplugAndReplugOnTheEventLoop) {
    QStringList ran;
    SimulationHooks hooks;
    hooks.addCommand(QStringLiteral("unplug"), [&ran] { ran << QStringLiteral("unplug"); });
    hooks.addCommand(QStringLiteral("replug"), [&ran] { ran << QStringLiteral("replug"); });
    ASSERT_TRUE(hooks.start(false));
    std::raise(SIGUSR1);
    EXPECT_TRUE(ran.isEmpty()); // nothing runs inside the handler
    std::raise(SIGUSR2);
    ASSERT_EVENTUALLY_EQ(ran.size(), 2);
    EXPECT_EQ(ran, (QStringList{QStringLiteral("unplug"), QStringLiteral("replug")}));
}

TEST(SimulationHooksTest, UnknownCommandsAreIgnored) {
    SimulationHooks hooks;
    int views = 0;
    hooks.addCommand(QStringLiteral("view"), [&views] { ++views; });
    EXPECT_TRUE(hooks.run(QStringLiteral("view")));
    EXPECT_FALSE(hooks.run(QStringLiteral("format c:")));
    EXPECT_EQ(views, 1);
}
