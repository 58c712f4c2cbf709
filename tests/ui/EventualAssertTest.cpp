#include "tests/support/EventualAssert.h"

#include <QTimer>
#include <gtest/gtest-spi.h>

namespace {
int never = 0;
void waitForNever() {
    ASSERT_EVENTUALLY_WITHIN(never == 1, 50);
}
void waitForNeverEqual() {
    ASSERT_EVENTUALLY_EQ(never, 1);
}
} // namespace

// The waits that replaced Qt's QTRY_ checks must fail the test when the condition never holds.
TEST(EventualAssert, ConditionThatNeverHoldsFailsTheTest) {
    EXPECT_FATAL_FAILURE(waitForNever(), "never == 1");
    EXPECT_FATAL_FAILURE(waitForNeverEqual(), "never");
}

// ... and pass once an event run by the wait makes it hold.
TEST(EventualAssert, ConditionMadeTrueByAnEventPasses) {
    int value = 0;
    QTimer::singleShot(20, [&value] { value = 3; });
    ASSERT_EVENTUALLY_EQ(value, 3);
    bool fired = false;
    QTimer::singleShot(20, [&fired] { fired = true; });
    ASSERT_EVENTUALLY(fired);
}
