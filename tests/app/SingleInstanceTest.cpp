// The single-instance guard: a live holder refuses a second instance, a dead one does not.
#include "app/SingleApplication.h"

#include <QCoreApplication>
#include <QSharedMemory>
#include <QUuid>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
QString uniqueKey() {
    return QStringLiteral("VexaroTest-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}
} // namespace

TEST(SingleInstance, FirstClaimWinsAndASecondIsRefusedWhileTheFirstLives) {
    const QString key = uniqueKey();
    QSharedMemory first(key);
    ASSERT_TRUE(SingleApplication::claimGuard(first));
    EXPECT_EQ(first.size(), 1);

    QSharedMemory second(key);
    EXPECT_FALSE(SingleApplication::claimGuard(second));
    EXPECT_FALSE(second.isAttached());
    // The refused attempt leaves the holder's segment in place.
    QSharedMemory third(key);
    EXPECT_FALSE(SingleApplication::claimGuard(third));
}

TEST(SingleInstance, ReleasedGuardCanBeClaimedAgain) {
    const QString key = uniqueKey();
    {
        QSharedMemory first(key);
        ASSERT_TRUE(SingleApplication::claimGuard(first));
    }
    QSharedMemory next(key);
    EXPECT_TRUE(SingleApplication::claimGuard(next));
}

TEST(SingleInstance, GuardLeftByACrashedInstanceDoesNotLockUsersOut) {
    const QString key = uniqueKey();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Create the guard and die without detaching, as a crash would.
        auto* segment = new QSharedMemory(key);
        _exit(SingleApplication::claimGuard(*segment) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    // (Attaching to look at the stale segment would itself remove it, so go straight to the claim.)
    QSharedMemory next(key);
    EXPECT_TRUE(SingleApplication::claimGuard(next));
}

// The guard belongs to one user in one display session: other users and other displays run
// their own instance, a second start in the same session is refused.
TEST(SingleInstance, GuardIsPerUserAndDisplaySession) {
    EXPECT_EQ(SingleApplication::guardKeyFor(1000, QStringLiteral(":0")),
              SingleApplication::guardKeyFor(1000, QStringLiteral(":0")));
    EXPECT_NE(SingleApplication::guardKeyFor(1000, QStringLiteral(":0")),
              SingleApplication::guardKeyFor(1001, QStringLiteral(":0")));
    EXPECT_NE(SingleApplication::guardKeyFor(1000, QStringLiteral(":0")),
              SingleApplication::guardKeyFor(1000, QStringLiteral(":1")));
    EXPECT_TRUE(SingleApplication::guardKey().startsWith(QStringLiteral("Vexaro")));

    const QString tag = uniqueKey();
    QSharedMemory mine(SingleApplication::guardKeyFor(1000, tag + QStringLiteral(":0")));
    QSharedMemory otherUser(SingleApplication::guardKeyFor(1001, tag + QStringLiteral(":0")));
    QSharedMemory otherDisplay(SingleApplication::guardKeyFor(1000, tag + QStringLiteral(":1")));
    QSharedMemory sameSession(SingleApplication::guardKeyFor(1000, tag + QStringLiteral(":0")));
    EXPECT_TRUE(SingleApplication::claimGuard(mine));
    EXPECT_TRUE(SingleApplication::claimGuard(otherUser));
    EXPECT_TRUE(SingleApplication::claimGuard(otherDisplay));
    EXPECT_FALSE(SingleApplication::claimGuard(sameSession));
}
