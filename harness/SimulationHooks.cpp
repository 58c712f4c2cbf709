#include "harness/SimulationHooks.h"

#include <QLoggingCategory>
#include <QSocketNotifier>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcSimulation, "vexaro.simulation", QtWarningMsg)

namespace {
// Write end of the self-pipe, read by the async-signal-safe handler.
std::atomic<int> signalPipeWrite{-1};

void onPosixSignal(int number) {
    const int fd = signalPipeWrite.load();
    if (fd < 0)
        return;
    const int savedErrno = errno;
    const char byte = number == SIGUSR1 ? 'u' : 'r';
    [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    errno = savedErrno;
}
} // namespace

SimulationHooks::SimulationHooks(QObject* parent)
    : QObject(parent) {}

SimulationHooks::~SimulationHooks() {
    if (pipeFds[1] >= 0) {
        std::signal(SIGUSR1, SIG_DFL);
        std::signal(SIGUSR2, SIG_DFL);
        signalPipeWrite.store(-1);
    }
    signalNotifier.reset();
    stdinNotifier.reset();
    for (int& fd : pipeFds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void SimulationHooks::addCommand(const QString& name, std::function<void()> action) {
    commands.insert(name, std::move(action));
}

bool SimulationHooks::start(bool readStdin) {
    if (::pipe(pipeFds) != 0)
        return false;
    for (int fd : pipeFds)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    signalNotifier = std::make_unique<QSocketNotifier>(pipeFds[0], QSocketNotifier::Read);
    connect(signalNotifier.get(), &QSocketNotifier::activated, this, &SimulationHooks::onSignalByte);
    signalPipeWrite.store(pipeFds[1]);

    struct sigaction action = {};
    action.sa_handler = onPosixSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGUSR1, &action, nullptr);
    ::sigaction(SIGUSR2, &action, nullptr);

    if (readStdin) {
        stdinNotifier = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        connect(stdinNotifier.get(), &QSocketNotifier::activated, this, &SimulationHooks::onStdin);
    }
    return true;
}

bool SimulationHooks::run(const QString& name) {
    const auto found = commands.constFind(name);
    if (found == commands.constEnd() || !found.value()) {
        qCDebug(lcSimulation) << "unknown command" << name;
        return false;
    }
    qCDebug(lcSimulation) << "command" << name;
    found.value()();
    return true;
}

void SimulationHooks::onSignalByte() {
    char bytes[64];
    ssize_t got = 0;
    while ((got = ::read(pipeFds[0], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < got; ++i)
            run(bytes[i] == 'u' ? QStringLiteral("unplug") : QStringLiteral("replug"));
    }
}

void SimulationHooks::onStdin() {
    char bytes[256];
    const ssize_t got = ::read(STDIN_FILENO, bytes, sizeof bytes);
    if (got <= 0) {
        stdinNotifier->setEnabled(false); // end of input (or an error): stop listening
        return;
    }
    pendingInput.append(bytes, static_cast<int>(got));
    // A line longer than this is not a command; drop it rather than grow without bound.
    if (pendingInput.size() > 4096)
        pendingInput.clear();
    int newline = 0;
    while ((newline = pendingInput.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(pendingInput.left(newline)).trimmed();
        pendingInput.remove(0, newline + 1);
        if (!line.isEmpty())
            run(line);
    }
}
