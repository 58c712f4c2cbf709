#pragma once

#include <QElapsedTimer>
#include <QPair>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <memory>

// An X server of its own for one test: Xvfb on the first free display number from 90 up.
class XvfbServer {
public:
    ~XvfbServer() {
        if (server.state() != QProcess::NotRunning) {
            server.terminate();
            server.waitForFinished(3000);
        }
    }

    static bool available() { return !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty(); }

    bool start() {
        for (int number = 90; number < 200; ++number) {
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)) ||
                QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
                continue;
            display = QStringLiteral(":%1").arg(number);
            server.start(QStringLiteral("Xvfb"), {display, QStringLiteral("-screen"), QStringLiteral("0"),
                                                  QStringLiteral("1920x1080x24"), QStringLiteral("-nolisten"),
                                                  QStringLiteral("tcp")});
            if (!server.waitForStarted(3000))
                return false;
            QElapsedTimer clock;
            clock.start();
            while (clock.elapsed() < 5000) {
                if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(number)))
                    return true;
                if (server.state() == QProcess::NotRunning)
                    break; // another server took the number first: try the next one
                QThread::msleep(50);
            }
        }
        return false;
    }

    QString display;

private:
    QProcess server;
};

// The real program, run with --simulate against a display and a data folder, its diagnostics on.
class AppProcess {
public:
    AppProcess(const QString& display, const QString& dataFolder, const QString& loggingRules,
               const QList<QPair<QString, QString>>& extraEnvironment = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const auto& variable : extraEnvironment)
            env.insert(variable.first, variable.second);
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        // On X the program loads platform plugins that Qt unloads at exit; an allocation of one of
        // them is then reported from a module that is gone, which no suppression can name. The
        // in-process tests keep the leak check.
        const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
        if (!asan.isEmpty())
            env.insert(QStringLiteral("ASAN_OPTIONS"), asan + QStringLiteral(":detect_leaks=0"));
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("VEXARO_COMMON_APPDATA"), dataFolder);
        env.insert(QStringLiteral("QT_LOGGING_RULES"), loggingRules);
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::SeparateChannels);
    }
    ~AppProcess() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(3000);
        }
    }

    static QString binary() { return QStringLiteral(VEXARO_BINARY_DIR "/app/vexaro-setup"); }

    bool start() {
        process.start(binary(), {QStringLiteral("--simulate")});
        return process.waitForStarted(5000);
    }

    void command(const char* line) {
        process.write(line);
        process.write("\n");
        process.waitForBytesWritten(1000);
    }

    // Waits until the diagnostics (stderr) hold a line matching pattern, at least count times.
    bool waitFor(const QString& pattern, int timeoutMs, int count = 1) {
        const QRegularExpression re(pattern);
        QElapsedTimer clock;
        clock.start();
        while (true) {
            log += QString::fromUtf8(process.readAllStandardError());
            if (log.count(re) >= count)
                return true;
            if (clock.elapsed() > timeoutMs || process.state() == QProcess::NotRunning)
                return false;
            process.waitForReadyRead(100);
        }
    }

    int waitForExit(int timeoutMs) {
        if (!process.waitForFinished(timeoutMs))
            return -1;
        log += QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    }

    qint64 pid() const { return process.processId(); }
    QString log;

private:
    QProcess process;
};
