// What the user reads on the screen when the module cannot be used: the real program on the
// emulated bus under Xvfb, its display read back with tesseract.
#include "AppUnderXvfb.h"
#include "tests/support/ScreenText.h"

#include <QDir>
#include <QLockFile>
#include <gtest/gtest.h>

namespace {

// The part of a screen picture that holds windows: tesseract reads a window alone far better than
// the same window on a large empty screen. The background is the colour of the top left pixel.
QImage windowsOf(const QImage& screen) {
    if (screen.isNull())
        return screen;
    const QRgb background = screen.pixel(0, 0);
    QRect box;
    for (int y = 0; y < screen.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(screen.constScanLine(y));
        for (int x = 0; x < screen.width(); ++x) {
            if (line[x] != background)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box.isEmpty() ? screen : screen.copy(box);
}

class GuidanceOnScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!XvfbServer::available() || !ScreenText::available())
            GTEST_SKIP() << "Xvfb or tesseract is not installed";
        // The program is a single instance per machine (see AppTest).
        singleRun.setStaleLockTime(0);
        ASSERT_TRUE(singleRun.lock());
        ASSERT_TRUE(QFile::exists(emulator())) << "build the vexaro-emulate-module target first";
        ASSERT_TRUE(data.isValid());
        ASSERT_TRUE(x.start()) << "no X server";
    }
    void TearDown() override {
        if (program.state() != QProcess::NotRunning) {
            program.terminate();
            if (!program.waitForFinished(5000)) {
                program.kill();
                program.waitForFinished(3000);
            }
        }
    }

    static QString emulator() { return QStringLiteral(VEXARO_BINARY_DIR "/vexaro-emulate-module"); }

    // The real program (no --simulate) on the emulated bus with the emulator's options.
    void startOnEmulatedBus(const QStringList& busOptions) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"), x.display);
        env.insert(QStringLiteral("VEXARO_COMMON_APPDATA"), data.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), data.filePath(QStringLiteral("user-config")));
        env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("vexaro.ui.debug=true"));
        const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
        if (!asan.isEmpty())
            env.insert(QStringLiteral("ASAN_OPTIONS"), asan + QStringLiteral(":detect_leaks=0"));
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(emulator(), busOptions + QStringList{QStringLiteral("--"), AppProcess::binary()});
        ASSERT_TRUE(program.waitForStarted(5000));
    }

    // Reads the display until every word group has one of its words on it (lower case, loosely:
    // tesseract misreads some glyphs), or the time is up; the last text read.
    QString readUntil(const QList<QStringList>& wordGroups, int timeoutMs) {
        QElapsedTimer clock;
        clock.start();
        QString text;
        while (clock.elapsed() < timeoutMs && program.state() != QProcess::NotRunning) {
            const QImage screen = ScreenText::grabDisplay(x.display).convertToFormat(QImage::Format_RGB32);
            text = ScreenText::read(windowsOf(screen)).toLower();
            bool all = true;
            for (const QStringList& group : wordGroups) {
                bool any = false;
                for (const QString& word : group)
                    any = any || text.contains(word);
                all = all && any;
            }
            if (all)
                return text;
            program.waitForReadyRead(500);
        }
        return QStringLiteral("(not all words read) ") + text;
    }

    QLockFile singleRun{QDir::temp().filePath(QStringLiteral("vexaro-app-test.lock"))};
    QTemporaryDir data;
    XvfbServer x;
    QProcess program;
};

} // namespace

TEST_F(GuidanceOnScreenTest, NoPermissionSaysSoAndHowToGrantIt) {
    startOnEmulatedBus({QStringLiteral("--no-access")});
    const QString text = readUntil({{QStringLiteral("plugged in"), QStringLiteral("plugged")},
                                    {QStringLiteral("may not open"), QStringLiteral("not open")},
                                    {QStringLiteral("udev")},
                                    {QStringLiteral("sudo")}},
                                   60000);
    EXPECT_FALSE(text.startsWith(QStringLiteral("(not all"))) << text.toStdString();
}

TEST_F(GuidanceOnScreenTest, NoModuleSaysToPlugItIn) {
    startOnEmulatedBus({QStringLiteral("--unplug-after"), QStringLiteral("0")});
    const QString text =
        readUntil({{QStringLiteral("no vexaro"), QStringLiteral("not found"), QStringLiteral("found")},
                   {QStringLiteral("plug")},
                   {QStringLiteral("usb")}},
                  60000);
    EXPECT_FALSE(text.startsWith(QStringLiteral("(not all"))) << text.toStdString();
}
