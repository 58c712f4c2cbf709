// What the user sees when the module leaves in the middle of something, when a second copy of the
// program is started, and when the settings window closes during a calibration: the real program
// under its own X server (no window manager), driven through its hooks, xdotool and the screen.
#include "AppUnderXvfb.h"
#include "tests/support/EventualAssert.h"
#include "tests/support/ScreenText.h"

#include <QDir>
#include <QLockFile>
#include <gtest/gtest.h>

namespace {

const QString diagnostics =
    QStringLiteral("vexaro.ui.debug=true;vexaro.app.debug=true;vexaro.simulation*.debug=true;"
                   "vexaro.calibration*.debug=true");

// The watch looks at an open module every second; the message may take that and a little more on
// a loaded machine, but not the five seconds of a whole watch cycle.
constexpr int withinOneWatchStepMs = 2000;

class LostModuleAndSecondInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!XvfbServer::available() || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            GTEST_SKIP() << "Xvfb or xdotool is not installed";
        singleRun.setStaleLockTime(0);
        ASSERT_TRUE(singleRun.lock());
        ASSERT_TRUE(QFile::exists(AppProcess::binary())) << "build the vexaro-setup target first";
        ASSERT_TRUE(data.isValid());
        ASSERT_TRUE(x.start()) << "no X server";
    }

    QString xdotool(const QStringList& args) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), x.display);
        QProcess tool;
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral("xdotool"), args);
        if (!tool.waitForFinished(10000))
            return QString();
        return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
    }

    QString focusedWindowName() {
        return xdotool({QStringLiteral("getwindowfocus"), QStringLiteral("getwindowname")});
    }

    // Sends the unplug and measures until the message box with text is up.
    qint64 unplugUntilMessage(AppProcess& app, const QString& text) {
        QElapsedTimer sinceUnplug;
        app.command("unplug");
        sinceUnplug.start();
        if (!app.waitFor(QStringLiteral("message box: Vexaro \\| ") + text, 10000))
            return -1;
        return sinceUnplug.elapsed();
    }

    QLockFile singleRun{QDir::temp().filePath(QStringLiteral("vexaro-app-test.lock"))};
    QTemporaryDir data;
    XvfbServer x;
};

// The module is open and its firmware accepted: only then do the calibration buttons act (the
// version may arrive just after the connection is reported).
bool ready(AppProcess& app) {
    return app.waitFor(QStringLiteral("device connected"), 20000) &&
           app.waitFor(QStringLiteral("firmware version \"51\\."), 10000);
}

int countIn(const QString& log, const QString& pattern) {
    return log.count(QRegularExpression(pattern));
}

} // namespace

// Unplugged while the pattern is photographed, then during manual target input: each run ends with
// its message within a second or so, before the watch's next full cycle. A replug while the first
// message is still open is taken in, and the window stays usable once the box is answered.
TEST_F(LostModuleAndSecondInstanceTest, UnplugDuringAFlowEndsItAtOnceAndAReplugIsNoticedUnderTheBox) {
    AppProcess app(x.display, data.path(), diagnostics);
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(ready(app)) << app.log.toStdString();

    app.command("auto");
    ASSERT_TRUE(app.waitFor(QStringLiteral("flow step 10\\b"), 30000)) << app.log.toStdString();
    const qint64 autoMs = unplugUntilMessage(app, QStringLiteral("Calibration failed"));
    ASSERT_GE(autoMs, 0) << app.log.toStdString();
    EXPECT_LT(autoMs, withinOneWatchStepMs);
    // Told on the first absent report, with the calibration window already gone.
    const int messageAt = app.log.indexOf(QStringLiteral("message box: Vexaro"));
    EXPECT_EQ(countIn(app.log.left(messageAt), QStringLiteral("device absent")), 1) << app.log.toStdString();
    EXPECT_GE(app.log.left(messageAt).lastIndexOf(QStringLiteral("calibration window hidden")), 0);

    app.command("replug");
    ASSERT_TRUE(app.waitFor(QStringLiteral("device connected"), 20000, 2)) << app.log.toStdString();
    ASSERT_TRUE(app.waitFor(QStringLiteral("firmware version"), 10000, 2)) << app.log.toStdString();
    EXPECT_FALSE(app.log.contains(QStringLiteral("command \"dismiss\"")));
    EXPECT_FALSE(xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                          QStringLiteral("^Vexaro$")})
                     .isEmpty())
        << "the message is still open";
    app.command("dismiss");
    // Answering the box does not take the reconnected state back: Manual starts.
    app.command("manual");
    ASSERT_TRUE(app.waitFor(QStringLiteral("pen armed on target 0\\b"), 15000)) << app.log.toStdString();

    const qint64 manualMs = unplugUntilMessage(app, QStringLiteral("Vexaro is disconnected"));
    ASSERT_GE(manualMs, 0) << app.log.toStdString();
    EXPECT_LT(manualMs, withinOneWatchStepMs);
    app.command("dismiss");
    app.command("close");
    EXPECT_EQ(app.waitForExit(15000), 0);
}

// The alignment view that closes because the module left says so in the settings window.
TEST_F(LostModuleAndSecondInstanceTest, AlignmentViewClosedByAnUnplugSaysWhyOnScreen) {
    if (!ScreenText::available())
        GTEST_SKIP() << "tesseract is not installed";
    AppProcess app(x.display, data.path(), diagnostics);
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(ready(app)) << app.log.toStdString();
    app.command("view");
    ASSERT_TRUE(app.waitFor(QStringLiteral("alignment image \\d+"), 10000, 3)) << app.log.toStdString();
    app.command("unplug");
    ASSERT_TRUE(app.waitFor(QStringLiteral("alignment view closed"), 10000)) << app.log.toStdString();
    QString seen;
    const bool read = eventsUntil(
        [&] {
            seen = ScreenText::read(ScreenText::grabDisplay(x.display));
            return seen.contains(QStringLiteral("alignment view closed because the module was unplugged"));
        },
        20000);
    EXPECT_TRUE(read) << seen.toStdString();
    app.command("close");
    EXPECT_EQ(app.waitForExit(15000), 0);
}

// A second copy started during a calibration leaves it in front with the keyboard, opens nothing,
// and Escape still ends the calibration. Started while the first is idle, it brings the first's
// settings window forward and says that the program already runs.
TEST_F(LostModuleAndSecondInstanceTest, SecondInstanceLeavesACalibrationInFrontAndRaisesAnIdleFirst) {
    AppProcess first(x.display, data.path(), diagnostics);
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(ready(first)) << first.log.toStdString();
    first.command("manual");
    ASSERT_TRUE(first.waitFor(QStringLiteral("pen armed on target 0\\b"), 15000)) << first.log.toStdString();
    const QString calibrating = focusedWindowName();
    ASSERT_FALSE(calibrating.isEmpty());

    AppProcess second(x.display, data.path(), diagnostics);
    ASSERT_TRUE(second.start());
    EXPECT_EQ(second.waitForExit(20000), 1) << second.log.toStdString();
    EXPECT_FALSE(second.log.contains(QStringLiteral("message box"))) << second.log.toStdString();
    EXPECT_TRUE(first.waitFor(QStringLiteral("another instance started during a calibration"), 5000));
    EXPECT_EQ(focusedWindowName(), calibrating);
    xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    ASSERT_TRUE(first.waitFor(QStringLiteral("calibration cancelled; previous calibration in force"), 5000))
        << first.log.toStdString();

    AppProcess third(x.display, data.path(), diagnostics);
    ASSERT_TRUE(third.start());
    ASSERT_TRUE(first.waitFor(QStringLiteral("another instance started: settings window raised"), 20000))
        << first.log.toStdString();
    ASSERT_TRUE(
        third.waitFor(QStringLiteral("message box: Vexaro \\| Vexaro Setup is already running\\."), 10000))
        << third.log.toStdString();
    // The second copy's box opens after the raise, over it, and is answered with Enter.
    eventsUntil([&] { return focusedWindowName() == QLatin1String("Vexaro"); }, 5000);
    xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    EXPECT_EQ(third.waitForExit(10000), 1);
    first.command("close");
    EXPECT_EQ(first.waitForExit(15000), 0);
}

// Closing the settings window during a calibration ends the calibration first and says that the
// module keeps its previous calibration; the program ends once that is read.
TEST_F(LostModuleAndSecondInstanceTest, ClosingTheSettingsWindowEndsTheCalibrationFirst) {
    AppProcess app(x.display, data.path(), diagnostics);
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(ready(app)) << app.log.toStdString();
    app.command("manual");
    ASSERT_TRUE(app.waitFor(QStringLiteral("pen armed on target 0\\b"), 15000)) << app.log.toStdString();
    app.command("close");
    ASSERT_TRUE(app.waitFor(
        QStringLiteral(
            "message box: Vexaro \\| Calibration cancelled\\. The previous calibration is still in force"),
        10000))
        << app.log.toStdString();
    const int messageAt = app.log.indexOf(QStringLiteral("message box"));
    EXPECT_GE(app.log.left(messageAt).indexOf(QStringLiteral("calibration window hidden")), 0);
    EXPECT_FALSE(app.log.contains(QStringLiteral("ui: closing"))) << "the program waits for the message";
    app.command("dismiss");
    EXPECT_EQ(app.waitForExit(15000), 0) << app.log.toStdString();
    EXPECT_TRUE(app.log.contains(QStringLiteral("ui: closing")));
}
