#pragma once

#include "WaitStretch.h"

#include <QElapsedTimer>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

// Qt's own QTRY_/QCOMPARE/QVERIFY only record a failure in Qt's test log, which a gtest program
// never reads: a failing check would return from the test and pass. These wait the same way (the
// GUI thread's events run meanwhile) and fail the gtest test.

// Runs events until the condition holds or the time is up (stretched on slow builds); true if it
// held. The one wait of the tests.
inline bool eventsUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    QElapsedTimer t;
    t.start();
    const int limitMs = stretchedWaitMs(timeoutMs);
    while (!done()) {
        if (t.elapsed() > limitMs)
            return false;
        QTest::qWait(5);
    }
    return true;
}

#define ASSERT_EVENTUALLY_WITHIN(condition, timeoutMs)                                                       \
    ASSERT_TRUE(eventsUntil([&] { return static_cast<bool>(condition); }, timeoutMs)) << #condition

#define ASSERT_EVENTUALLY(condition) ASSERT_EVENTUALLY_WITHIN(condition, 5000)

// Waits for equality, then compares once more so a failure shows both values.
#define ASSERT_EVENTUALLY_EQ(actual, expected)                                                               \
    do {                                                                                                     \
        eventsUntil([&] { return (actual) == (expected); }, 5000);                                           \
        ASSERT_EQ(actual, expected);                                                                         \
    } while (false)
