#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Every test program runs with a QApplication on the offscreen platform.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    // The calibrations of the tests keep their frames in a cache of this run, not the user's.
    QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.1.3"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
