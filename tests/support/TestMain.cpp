#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <gtest/gtest.h>

// Every test program runs with a QApplication on the offscreen platform.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    // The calibrations of the tests keep their frames in a cache of this run, not the user's.
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
    // Nor do their language choices reach the machine's files: a choice left there by one test
    // program would be read by the programs another one starts.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QTemporaryDir allUsers;
    if (qgetenv("VEXARO_COMMON_APPDATA").isEmpty())
        qputenv("VEXARO_COMMON_APPDATA", allUsers.path().toLocal8Bit());
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.1.3"));
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // A Qt check (QCOMPARE, QVERIFY, QTRY_...) that failed records it only in Qt's test state and
    // returns from the test, which gtest then counts as passed: fail the program instead.
    if (QTest::currentTestFailed()) {
        std::fprintf(stderr, "A Qt test check failed inside a gtest test; use the gtest assertions "
                             "(tests/support/EventualAssert.h for waits).\n");
        return 1;
    }
    return result;
}
