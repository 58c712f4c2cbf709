// The single-instance guard: a live holder refuses a second instance; a dead one, a lock holding
// nothing readable, or another user's or display's guard does not.
#include "app/SingleApplication.h"

#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace {
class SingleInstance : public ::testing::Test {
protected:
    QString lockPath() const { return SingleApplication::guardPathFor(folder.path(), QStringLiteral(":0")); }
    QTemporaryDir folder;
};
} // namespace

TEST_F(SingleInstance, FirstClaimWinsUntilReleased) {
    {
        QLockFile first(lockPath());
        ASSERT_TRUE(SingleApplication::claimGuard(first));
        QLockFile second(lockPath());
        EXPECT_FALSE(SingleApplication::claimGuard(second));
        // The refused attempt leaves the holder's lock in place.
        QLockFile third(lockPath());
        EXPECT_FALSE(SingleApplication::claimGuard(third));
    }
    QLockFile next(lockPath());
    EXPECT_TRUE(SingleApplication::claimGuard(next));
}

TEST_F(SingleInstance, GuardLeftByACrashedInstanceOrHoldingNothingDoesNotLockUsersOut) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Take the guard and die without releasing it, as a crash would.
        auto* lock = new QLockFile(lockPath());
        _exit(SingleApplication::claimGuard(*lock) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_TRUE(QFile::exists(lockPath()));
    {
        QLockFile next(lockPath());
        EXPECT_TRUE(SingleApplication::claimGuard(next));
    }

    // A lock file with nothing in it, as a crash between creating and writing it leaves.
    QFile empty(lockPath());
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    QLockFile after(lockPath());
    EXPECT_TRUE(SingleApplication::claimGuard(after));
}

// The guard belongs to one user in one display session, in that user's own runtime folder: other
// users and other displays run their own instance, and nothing lies in a shared folder where
// another user could take the name first.
TEST_F(SingleInstance, GuardIsPerUserAndDisplaySessionInTheUsersOwnFolder) {
    const QString a = QStringLiteral("/run/user/1000"), b = QStringLiteral("/run/user/1001");
    EXPECT_EQ(SingleApplication::guardPathFor(a, ":0"), SingleApplication::guardPathFor(a, ":0"));
    EXPECT_NE(SingleApplication::guardPathFor(a, ":0"), SingleApplication::guardPathFor(b, ":0"));
    EXPECT_NE(SingleApplication::guardPathFor(a, ":0"), SingleApplication::guardPathFor(a, ":1"));
    EXPECT_TRUE(SingleApplication::guardPathFor(a, "../../tmp/x").startsWith(a + "/vexaro-"));
    EXPECT_FALSE(SingleApplication::guardPathFor(a, "../../tmp/x").contains("/tmp/"));

    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    QTemporaryDir home;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder.path()));
    EXPECT_TRUE(SingleApplication::guardPath().startsWith(folder.path() + "/vexaro-"));
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    EXPECT_TRUE(SingleApplication::guardPath().startsWith(home.path() + "/Norvale/Vexaro/vexaro-"));
    for (const auto& [name, value] :
         {std::make_pair("XDG_RUNTIME_DIR", runtime), std::make_pair("XDG_CONFIG_HOME", config)}) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }

    QLockFile mine(SingleApplication::guardPathFor(folder.path(), ":0"));
    QLockFile otherDisplay(SingleApplication::guardPathFor(folder.path(), ":1"));
    QLockFile otherUser(SingleApplication::guardPathFor(home.path(), ":0"));
    QLockFile sameSession(SingleApplication::guardPathFor(folder.path(), ":0"));
    EXPECT_TRUE(SingleApplication::claimGuard(mine));
    EXPECT_TRUE(SingleApplication::claimGuard(otherDisplay));
    EXPECT_TRUE(SingleApplication::claimGuard(otherUser));
    EXPECT_FALSE(SingleApplication::claimGuard(sameSession));
}
