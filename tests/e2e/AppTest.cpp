#include "AppUnderXvfb.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSettings>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

const QString diagnostics =
    QStringLiteral("vexaro.ui.debug=true;vexaro.app.debug=true;vexaro.simulation.debug=true");

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!XvfbServer::available())
            GTEST_SKIP() << "Xvfb is not installed";
        // The program is a single instance per machine: runs of these tests from parallel test
        // processes take turns.
        singleRun.setStaleLockTime(0);
        ASSERT_TRUE(singleRun.lock());
        ASSERT_TRUE(QFile::exists(AppProcess::binary())) << "build the vexaro-setup target first";
        ASSERT_TRUE(data.isValid());
        ASSERT_TRUE(x.start()) << "no X server";
    }

    // Answers the message box the program shows with Enter, as a person would.
    bool answerMessageBox() {
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            return false;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), x.display);
        QProcess search;
        search.setProcessEnvironment(env);
        search.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--sync"),
                                                 QStringLiteral("--name"), QStringLiteral("^Vexaro$")});
        if (!search.waitForFinished(10000))
            return false;
        const QString window =
            QString::fromUtf8(search.readAllStandardOutput()).split(QLatin1Char('\n')).value(0);
        if (window.isEmpty())
            return false;
        QProcess focus;
        focus.setProcessEnvironment(env);
        focus.start(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"),
                                                window, QStringLiteral("key"), QStringLiteral("Return")});
        return focus.waitForFinished(5000) && focus.exitCode() == 0;
    }

    QLockFile singleRun{QDir::temp().filePath(QStringLiteral("vexaro-app-test.lock"))};
    QTemporaryDir data;
    XvfbServer x;
};

} // namespace

TEST_F(AppTest, ConnectsStreamsTheAlignmentViewAndEndsWithCodeZero) {
    AppProcess app(x.display, data.path(), diagnostics);
    ASSERT_TRUE(app.start());
    // Two seconds of start-up pause, then the first watch cycle finds the module.
    ASSERT_TRUE(app.waitFor(QStringLiteral("device connected"), 20000)) << app.log.toStdString();
    EXPECT_TRUE(app.waitFor(QStringLiteral("firmware version \"51\\.\\d\\d\""), 5000));
    EXPECT_TRUE(app.waitFor(QStringLiteral("device options \\d \\d \\d \\d"), 5000));

    app.command("view");
    ASSERT_TRUE(app.waitFor(QStringLiteral("alignment view shown"), 10000)) << app.log.toStdString();
    EXPECT_TRUE(app.waitFor(QStringLiteral("alignment image \\d+"), 10000, 30))
        << "fewer than 30 live frames";
    app.command("f11");
    app.command("ok");
    ASSERT_TRUE(app.waitFor(QStringLiteral("alignment view hidden"), 10000));

    // A second instance is refused with M2 and code 1, and leaves the first running.
    AppProcess second(x.display, data.path(), diagnostics);
    ASSERT_TRUE(second.start());
    ASSERT_TRUE(
        second.waitFor(QStringLiteral("message box: Vexaro \\| Vexaro Setup is already running\\."), 15000))
        << second.log.toStdString();
    if (answerMessageBox())
        EXPECT_EQ(second.waitForExit(10000), 1);
    else
        ADD_FAILURE() << "could not answer the message box (xdotool missing?)";

    app.command("view");
    EXPECT_TRUE(app.waitFor(QStringLiteral("alignment view shown"), 10000, 2));
    app.command("close");
    EXPECT_EQ(app.waitForExit(15000), 0) << app.log.toStdString();
    EXPECT_TRUE(app.log.contains(QStringLiteral("closing")));

    QSettings saved(data.path() + QStringLiteral("/Norvale/Vexaro/config.ini"), QSettings::IniFormat);
    EXPECT_GE(saved.value(QStringLiteral("Configuration/LanguageID")).toInt(), 1);
}

TEST_F(AppTest, UnplugAndReplugThroughTheSignalHook) {
    AppProcess app(x.display, data.path(), diagnostics);
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(app.waitFor(QStringLiteral("device connected"), 20000)) << app.log.toStdString();
    app.command("view");
    ASSERT_TRUE(app.waitFor(QStringLiteral("alignment image \\d+"), 10000, 5));

    ::kill(static_cast<pid_t>(app.pid()), SIGUSR1);
    ASSERT_TRUE(app.waitFor(QStringLiteral("command \"unplug\""), 5000));
    // Within one watch cycle (5 s) and its 1 s pause the module is reported absent.
    ASSERT_TRUE(app.waitFor(QStringLiteral("device absent"), 15000)) << app.log.toStdString();

    ::kill(static_cast<pid_t>(app.pid()), SIGUSR2);
    EXPECT_TRUE(app.waitFor(QStringLiteral("device connected"), 20000, 2)) << app.log.toStdString();

    app.command("close");
    EXPECT_EQ(app.waitForExit(15000), 0);
}

// What another user or a crash may leave behind does not stop the program: a FIFO in place of the
// shared config.ini, and a guard lock that holds nothing. The window comes up, the module is found,
// and the program closes normally, its choice kept in the user's own file.
TEST_F(AppTest, PlantedFifoAndEmptyGuardNeitherHangNorLockOut) {
    QTemporaryDir runtime, home;
    ASSERT_TRUE(runtime.isValid() && home.isValid());
    const QString shared = data.path() + QStringLiteral("/Norvale/Vexaro");
    ASSERT_TRUE(QDir().mkpath(shared));
    ASSERT_EQ(::mkfifo(QFile::encodeName(shared + QStringLiteral("/config.ini")).constData(), 0666), 0);
    QFile guard(QDir(runtime.path())
                    .filePath(QStringLiteral("vexaro-%1.lock").arg(QString(x.display).replace(':', '_'))));
    ASSERT_TRUE(guard.open(QIODevice::WriteOnly));
    guard.close();

    AppProcess app(x.display, data.path(), diagnostics,
                   {{QStringLiteral("XDG_RUNTIME_DIR"), runtime.path()},
                    {QStringLiteral("XDG_CONFIG_HOME"), home.path()}});
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(app.waitFor(QStringLiteral("device connected"), 20000)) << app.log.toStdString();
    app.command("close");
    EXPECT_EQ(app.waitForExit(15000), 0) << app.log.toStdString();
    QSettings saved(home.path() + QStringLiteral("/Norvale/Vexaro/config.ini"), QSettings::IniFormat);
    EXPECT_GE(saved.value(QStringLiteral("Configuration/LanguageID")).toInt(), 1);
}
